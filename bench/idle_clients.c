/* idle_clients.c - opens N connections to 127.0.0.1:PORT that send nothing and
 * holds them until SECONDS have passed or a signal ends the process.
 * Prints "open <count> <seconds taken>" once the opening is done.
 * Usage: idle_clients PORT N SECONDS */
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* A connect whose handshake does not finish within 50 ms (the server's accept
 * queue is full and the SYN was dropped) is given up and tried again soon,
 * rather than waiting for the kernel's one-second SYN retransmission: the
 * opening then follows the server's accept rate. */
static int open_one(const struct sockaddr_in *a) {
  for (int attempt = 0; attempt < 400; attempt++) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (connect(fd, (const struct sockaddr *)a, sizeof *a) == 0) return fd;
    if (errno == EINPROGRESS) {
      struct pollfd p = {.fd = fd, .events = POLLOUT};
      int err = 1;
      socklen_t len = sizeof err;
      if (poll(&p, 1, 50) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0)
        return fd;
    } else if (errno == EMFILE || errno == ENFILE || errno == EADDRNOTAVAIL) {
      close(fd);
      return -1;
    }
    close(fd);
    usleep(2000);
  }
  return -1;
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s PORT N SECONDS\n", argv[0]);
    return 2;
  }
  int n = atoi(argv[2]), open_count = 0;
  double limit = atof(argv[3]), start = now();
  signal(SIGPIPE, SIG_IGN);
  struct sockaddr_in a = {.sin_family = AF_INET, .sin_port = htons((unsigned short)atoi(argv[1])),
                          .sin_addr.s_addr = htonl(INADDR_LOOPBACK)};
  /* The descriptors are never read: the process's end closes them all. */
  for (; open_count < n && now() - start < limit; open_count++)
    if (open_one(&a) < 0) break;
  printf("open %d %.3f\n", open_count, now() - start);
  fflush(stdout);
  while (now() - start < limit) usleep(100000);
  return 0;
}
