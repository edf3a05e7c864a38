/* Whether the kernel has huge pages free, as the host asks before it marks a large block for
 * them (platform/Memory.cpp): with the kernel's usual setting (transparent huge pages,
 * defrag=madvise) a marked block's page faults compact memory when no 2 MiB block is free,
 * which after other large processes costs more than the huge pages save. */
#ifndef LUMIVEIL_PLUGIN_HUGE_PAGES_H
#define LUMIVEIL_PLUGIN_HUGE_PAGES_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The free 2 MiB blocks that the kernel's table of free blocks (the text of
 * /proc/buddyinfo: "Node 0, zone Normal n0 n1 ... n10", free blocks of 4 KiB << order per
 * order) counts over every zone but DMA, whose first 16 MiB never hold a process's pages. */
static inline uint64_t PluginFreeHugeBlocks(const char* text) {
  uint64_t blocks = 0;
  while (*text != '\0') {
    char line[512];
    const size_t n = strcspn(text, "\n");
    const size_t keep = n < sizeof line - 1 ? n : sizeof line - 1;
    const char* p;
    const char* name;
    int order;
    memcpy(line, text, keep);
    line[keep] = '\0';
    text += n;
    if (*text == '\n') ++text;
    p = strstr(line, "zone");
    if (p == NULL) continue;
    p += 4;
    while (*p == ' ') ++p;
    name = p;
    while (*p != ' ' && *p != '\0') ++p;
    if (p - name == 3 && memcmp(name, "DMA", 3) == 0) continue;
    for (order = 0;; ++order) {
      char* next = NULL;
      const unsigned long long count = strtoull(p, &next, 10);
      if (next == p) break;
      p = next;
      if (order >= 9 && order < 20) blocks += (uint64_t)count << (order - 9);
    }
  }
  return blocks;
}

/* Whether the kernel has `blocks` free 2 MiB blocks; no where it cannot tell. */
static inline int PluginHugePagesFree(uint64_t blocks) {
  char text[8192];
  size_t n;
  FILE* file = fopen("/proc/buddyinfo", "r");
  if (file == NULL) return 0;
  n = fread(text, 1, sizeof text - 1, file);
  fclose(file);
  text[n] = '\0';
  return PluginFreeHugeBlocks(text) >= blocks;
}

#endif
