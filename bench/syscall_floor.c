/* SPDX-License-Identifier: MIT */
/* The system-call floor for bench/whole_process.sh: only the calls that any
 * lister of a folder of generated floppies needs (the folder read by
 * getdents64, then for every file open, one pread of header and directory,
 * one write per line, close), no stat of any kind, not even the one that
 * opendir makes; and as many lines of the same lengths as tamrik -n writes,
 * copied from templates instead of formatted. What tamrik spends beyond
 * this is the user-space cost of its listing and the calls it makes to be
 * safe (the fstat that keeps it from reading a FIFO).
 * usage: syscall_floor FOLDER */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

static const char kLabel[] = "Volume label: BENCH0\n";
static const char kInit[] = "Initialized   24/03/15  10:42:07\n";
static const char kCapacity[] =
    "Max 32 entries, unused 2                  Total 630784 bytes, unused 514560\n";
static const char kHeader[] =
    " No.    Name      Type          S        Size      Start  Recs    Date     Time\n";
static const char kRow[] =
    "  1.  5DCI398V    TEXT   71     S      2048 bytes     6     8   86/03/21  14:41\n";
static const char kEnd[] = "End of Directory\n";
static const char kRefusal[] = "Unknown or corrupt disk image\n";

static void put(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t written = write(STDOUT_FILENO, text, length);
    if (written <= 0) return;
    text += written;
    length -= (size_t)written;
  }
}
#define PUT(literal) put(literal, sizeof literal - 1)

static unsigned be(const unsigned char* p, int n) {
  unsigned value = 0;
  for (int i = 0; i < n; ++i) value = value << 8 | p[i];
  return value;
}

static void listFile(const char* name) {
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  unsigned char buffer[4096];
  const ssize_t got = pread(fd, buffer, sizeof buffer, 0);
  if (got < 0) { /* "." and "..": nothing, as tamrik prints nothing */
    close(fd);
    return;
  }
  const unsigned dirAt = got >= 42 ? be(buffer + 8, 4) * 256 : 0;
  const unsigned slots = got >= 42 ? be(buffer + 16, 4) * 8 : 0;
  if (got < 42 || be(buffer, 2) != 0x8000 || dirAt + slots * 32 > (unsigned)got) {
    PUT(kRefusal);
    PUT("\n");
    close(fd);
    return;
  }
  PUT(kLabel);
  PUT(kInit);
  PUT(kCapacity);
  PUT("\n");
  PUT(kHeader);
  for (unsigned slot = 0; slot < slots; ++slot) {
    const unsigned type = be(buffer + dirAt + slot * 32 + 10, 2);
    if (type == 0xFFFF) break;
    if (type != 0) PUT(kRow);
  }
  PUT(kEnd);
  close(fd);
}

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) return 1;
  const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return 1;
  int first = 1;
  char heading[300];
  memcpy(heading, "Content of ", 11);
  /* As many entries at a time as readdir takes. */
  static char entries[32768];
  ssize_t got;
  while ((got = getdents64(folder, entries, sizeof entries)) > 0) {
    for (ssize_t at = 0; at < got;) {
      const struct dirent64* entry = (const struct dirent64*)(entries + at);
      at += entry->d_reclen;
      if (!first) PUT("\n");
      first = 0;
      size_t length = strlen(entry->d_name);
      if (length > sizeof heading - 12) length = sizeof heading - 12;
      memcpy(heading + 11, entry->d_name, length);
      heading[11 + length] = '\n';
      put(heading, 12 + length);
      PUT("\n");
      listFile(entry->d_name);
    }
  }
  close(folder);
  return 0;
}
