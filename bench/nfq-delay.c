/* Holds every packet of netfilter queue QUEUE for DELAY_US microseconds, in arrival order, then
 * lets it through: a delay for the fan-out benchmark's loopback links, where the kernel has no
 * netem. Only the packets' metadata is copied to user space. Ends after SECONDS (a bound, so a
 * forgotten run stops by itself) or on SIGTERM/SIGINT, accepting what it still holds.
 * Usage: nfq-delay QUEUE DELAY_US SECONDS */
#include <arpa/inet.h>
#include <errno.h>
#include <libnetfilter_queue/libnetfilter_queue.h>
#include <linux/netfilter.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define HELD_MAX 65536

struct held {
  uint32_t id;
  uint64_t due_us;
};

static struct held held[HELD_MAX];
static size_t head, count;
static volatile sig_atomic_t stop;

static uint64_t now_us(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000000u + (uint64_t)ts.tv_nsec / 1000u;
}

static void on_signal(int sig) {
  (void)sig;
  stop = 1;
}

static int on_packet(struct nfq_q_handle *q, struct nfgenmsg *msg, struct nfq_data *data,
                     void *delay) {
  (void)msg;
  struct nfqnl_msg_packet_hdr *ph = nfq_get_msg_packet_hdr(data);
  if (!ph) return 0;
  const uint32_t id = ntohl(ph->packet_id);
  if (count == HELD_MAX) return nfq_set_verdict(q, id, NF_ACCEPT, 0, NULL);
  held[(head + count) % HELD_MAX] = (struct held){id, now_us() + *(uint64_t *)delay};
  ++count;
  return 0;
}

static void release_due(struct nfq_q_handle *q, uint64_t until) {
  while (count > 0 && held[head].due_us <= until) {
    nfq_set_verdict(q, held[head].id, NF_ACCEPT, 0, NULL);
    head = (head + 1) % HELD_MAX;
    --count;
  }
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s QUEUE DELAY_US SECONDS\n", argv[0]);
    return 2;
  }
  const int queue = atoi(argv[1]);
  uint64_t delay = strtoull(argv[2], NULL, 10);
  const uint64_t end = now_us() + strtoull(argv[3], NULL, 10) * 1000000u;
  signal(SIGTERM, on_signal);
  signal(SIGINT, on_signal);

  struct nfq_handle *h = nfq_open();
  if (!h) {
    perror("nfq_open");
    return 1;
  }
  nfq_unbind_pf(h, AF_INET);
  if (nfq_bind_pf(h, AF_INET) < 0) {
    perror("nfq_bind_pf");
    return 1;
  }
  struct nfq_q_handle *q = nfq_create_queue(h, (uint16_t)queue, on_packet, &delay);
  if (!q || nfq_set_mode(q, NFQNL_COPY_META, 0) < 0) {
    perror("nfq_create_queue");
    return 1;
  }
  nfq_set_queue_maxlen(q, HELD_MAX);
  const int fd = nfq_fd(h);
  int size = 8 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
  char buffer[65536] __attribute__((aligned));

  while (!stop && now_us() < end) {
    const uint64_t now = now_us();
    release_due(q, now);
    int timeout_ms = 100;
    if (count > 0) {
      const uint64_t wait = held[head].due_us > now ? held[head].due_us - now : 0;
      if (wait < 1000) {
        /* poll cannot sleep that finely */
        struct timespec ts = {0, (long)(wait * 1000)};
        if (wait > 0) nanosleep(&ts, NULL);
        timeout_ms = 0;
      } else {
        timeout_ms = (int)(wait / 1000);
      }
    }
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) continue;
    for (;;) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        nfq_handle_packet(h, buffer, (int)n);
        continue;
      }
      if (n < 0 && errno == ENOBUFS) {
        fprintf(stderr, "nfq-delay: packets lost (queue overrun)\n");
        continue;
      }
      break;
    }
  }
  release_due(q, UINT64_MAX);
  nfq_destroy_queue(q);
  nfq_close(h);
  return 0;
}
