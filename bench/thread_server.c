/* thread_server.c - the bench's yardstick: the plainest thread-per-connection
 * file server (one request per connection, 32 KiB read+send chunks).
 * Usage: thread_server PORT ROOT [STACK_KIB]   (STACK_KIB 0 or absent: default) */
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

static const char *root;

static void send_all(int fd, const char *p, size_t n) {
  while (n > 0) {
    ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return;
    p += k, n -= (size_t)k;
  }
}

static void *serve(void *arg) {
  int fd = (int)(long)arg, len = 0;
  char head[8192], path[4096], buf[32768];
  while (len < (int)sizeof head - 1 && !strstr(head, "\r\n\r\n")) {
    ssize_t k = recv(fd, head + len, sizeof head - 1 - len, 0);
    if (k <= 0) break;
    head[len += (int)k] = 0;
  }
  char url[2048];
  int file = -1;
  struct stat st;
  if (len > 0 && sscanf(head, "GET %2047s", url) == 1 && !strstr(url, "..")) {
    snprintf(path, sizeof path, "%s%s", root, url);
    file = open(path, O_RDONLY);
  }
  if (file >= 0 && fstat(file, &st) == 0 && S_ISREG(st.st_mode)) {
    int n = snprintf(buf, sizeof buf, "HTTP/1.1 200 OK\r\nConnection: close\r\n"
                     "Content-Type: application/octet-stream\r\nContent-Length: %lld\r\n\r\n",
                     (long long)st.st_size);
    send_all(fd, buf, (size_t)n);
    ssize_t k;
    while ((k = read(file, buf, sizeof buf)) > 0) send_all(fd, buf, (size_t)k);
  }
  if (file >= 0) close(file);
  shutdown(fd, SHUT_WR);
  close(fd);
  return NULL;
}

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s PORT ROOT [STACK_KIB]\n", argv[0]);
    return 2;
  }
  root = argv[2];
  signal(SIGPIPE, SIG_IGN);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (argc > 3 && atoi(argv[3]) > 0) pthread_attr_setstacksize(&attr, (size_t)atoi(argv[3]) * 1024);
  int ls = socket(AF_INET, SOCK_STREAM, 0), one = 1;
  setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  struct sockaddr_in a = {.sin_family = AF_INET, .sin_port = htons((unsigned short)atoi(argv[1])),
                          .sin_addr.s_addr = htonl(INADDR_LOOPBACK)};
  if (bind(ls, (struct sockaddr *)&a, sizeof a) != 0 || listen(ls, 511) != 0) {
    perror("bind/listen");
    return 1;
  }
  for (;;) {
    int fd = accept(ls, NULL, NULL);
    pthread_t t;
    if (fd < 0) continue;
    if (pthread_create(&t, &attr, serve, (void *)(long)fd) != 0) close(fd);
  }
}
