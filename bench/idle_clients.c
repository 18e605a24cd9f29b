/* idle_clients.c - opens N connections to 127.0.0.1:PORT and holds them until
 * SECONDS have passed or a signal ends the process. They never read. By
 * default they send nothing; given a source address (FROM, "127.0.0.2": the
 * server sees a visitor), each connects from it, and given REQUEST (with \r
 * and \n written so) each sends that first: a page it will not read, or a head
 * that never ends. With REOPEN_MS, a connection the server closes is opened
 * again that long after, so the pressure stays.
 * Prints "open <count> <seconds taken>" once the opening is done, and at the
 * end "closed <count> reopened <count>": how many the server closed.
 * Usage: idle_clients PORT N SECONDS [FROM [REQUEST [REOPEN_MS]]] */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

static struct sockaddr_in from_address;
static int bind_from;
static char request[4096];
static size_t request_len;

/* A connect whose handshake does not finish within 50 ms (the server's accept
 * queue is full and the SYN was dropped) is given up and tried again soon,
 * rather than waiting for the kernel's one-second SYN retransmission: the
 * opening then follows the server's accept rate. */
static int open_one(const struct sockaddr_in *a) {
  for (int attempt = 0; attempt < 400; attempt++) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (bind_from && bind(fd, (const struct sockaddr *)&from_address, sizeof from_address) != 0) {
      close(fd);
      return -1;
    }
    int done = connect(fd, (const struct sockaddr *)a, sizeof *a) == 0;
    if (!done && errno == EINPROGRESS) {
      struct pollfd p = {.fd = fd, .events = POLLOUT};
      int err = 1;
      socklen_t len = sizeof err;
      done = poll(&p, 1, 50) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    } else if (!done && (errno == EMFILE || errno == ENFILE || errno == EADDRNOTAVAIL)) {
      close(fd);
      return -1;
    }
    if (done) {
      if (request_len > 0) (void)send(fd, request, request_len, MSG_NOSIGNAL);
      return fd;
    }
    close(fd);
    usleep(2000);
  }
  return -1;
}

/* \r and \n written as two characters become the bytes. */
static void take_request(const char *text) {
  for (; *text != '\0' && request_len < sizeof request; text++) {
    char c = *text;
    if (c == '\\' && (text[1] == 'r' || text[1] == 'n')) c = *++text == 'r' ? '\r' : '\n';
    request[request_len++] = c;
  }
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s PORT N SECONDS [FROM [REQUEST [REOPEN_MS]]]\n", argv[0]);
    return 2;
  }
  int n = atoi(argv[2]), open_count = 0;
  double limit = atof(argv[3]), start = now();
  double reopen = argc > 6 ? atof(argv[6]) / 1000 : -1;
  signal(SIGPIPE, SIG_IGN);
  if (argc > 4 && argv[4][0] != '\0') {
    from_address.sin_family = AF_INET;
    from_address.sin_addr.s_addr = inet_addr(argv[4]);
    bind_from = 1;
  }
  if (argc > 5) take_request(argv[5]);
  struct sockaddr_in a = {.sin_family = AF_INET, .sin_port = htons((unsigned short)atoi(argv[1])),
                          .sin_addr.s_addr = htonl(INADDR_LOOPBACK)};
  struct pollfd *slots = calloc((size_t)(n > 0 ? n : 1), sizeof *slots);
  double *due = calloc((size_t)(n > 0 ? n : 1), sizeof *due);
  if (slots == NULL || due == NULL) return 1;
  for (; open_count < n && now() - start < limit; open_count++) {
    slots[open_count].fd = open_one(&a);
    if (slots[open_count].fd < 0) break;
    slots[open_count].events = POLLRDHUP;
  }
  printf("open %d %.3f\n", open_count, now() - start);
  fflush(stdout);
  long closed = 0, reopened = 0;
  /* Only a hang-up is watched: what the server sends stays unread. */
  while (now() - start < limit) {
    if (poll(slots, (nfds_t)open_count, 100) > 0) {
      for (int i = 0; i < open_count; i++) {
        if (slots[i].fd < 0 || (slots[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) continue;
        close(slots[i].fd);
        slots[i].fd = -1;
        closed++;
        due[i] = now() + reopen;
      }
    }
    for (int i = 0; reopen >= 0 && i < open_count && now() - start < limit; i++) {
      if (slots[i].fd >= 0 || now() < due[i]) continue;
      slots[i].fd = open_one(&a);
      if (slots[i].fd >= 0) reopened++;
      else due[i] = now() + 0.1;
    }
  }
  printf("closed %ld reopened %ld\n", closed, reopened);
  return 0;
}
