/* SPDX-License-Identifier: MIT */
/* The floor for bench/whole_process.sh: lists every file of one folder with
 * only the system calls a lister cannot do without (opendir/readdir, open,
 * read of the header and of the directory, one write per output line,
 * close), writing as many lines as tamrik -n with a pattern of all files does for a folder
 * of generated images, each of them listed.
 * usage: minimal_lister FOLDER */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void line(const char* text, size_t length) {
  char buffer[256];
  if (length > sizeof buffer - 1) length = sizeof buffer - 1;
  memcpy(buffer, text, length);
  buffer[length] = '\n';
  if (write(STDOUT_FILENO, buffer, length + 1) < 0) exit(1);
}

static unsigned long be(const unsigned char* p, int n) {
  unsigned long value = 0;
  for (int i = 0; i < n; ++i) value = value << 8 | p[i];
  return value;
}

static void listFile(const char* name) {
  unsigned char header[256];
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  const ssize_t got = read(fd, header, sizeof header);
  if (got < 0) { /* a folder: nothing, as tamrik prints nothing */
    close(fd);
    return;
  }
  if (got < 42 || be(header, 2) != 0x8000) {
    line("Unknown or corrupt disk image", 29);
    line("", 0);
    close(fd);
    return;
  }
  const unsigned long dirStart = be(header + 8, 4);
  const unsigned long dirLength = be(header + 16, 4);
  const size_t bytes = dirLength * 256;
  unsigned char* directory = malloc(bytes);
  if (directory == NULL || pread(fd, directory, bytes, (off_t)(dirStart * 256)) != (ssize_t)bytes) {
    free(directory);
    line("Unknown or corrupt disk image", 29);
    line("", 0);
    close(fd);
    return;
  }
  close(fd);

  char text[128];
  line(text, (size_t)snprintf(text, sizeof text, "Volume label: %.6s", (const char*)header + 2));
  line(text,
       (size_t)snprintf(text, sizeof text, "Initialized   %02x/%02x/%02x  %02x:%02x:%02x",
                        header[36], header[37], header[38], header[39], header[40], header[41]));
  line(text, (size_t)snprintf(text, sizeof text, "Max %lu entries", dirLength * 8));
  line("", 0);
  line(" No.    Name      Type          S        Size      Start  Recs    Date     Time", 79);
  unsigned long row = 1;
  for (size_t offset = 0; offset + 32 <= bytes; offset += 32) {
    const unsigned char* entry = directory + offset;
    const unsigned long type = be(entry + 10, 2);
    if (type == 0xFFFF) break;
    if (type == 0) continue;
    line(text, (size_t)snprintf(text, sizeof text, "%3lu.  %.10s  %04lx %10lu %6lu %6lu", row++,
                                (const char*)entry, type, be(entry + 28, 2), be(entry + 12, 4),
                                be(entry + 16, 4)));
  }
  line("End of Directory", 16);
  free(directory);
}

int main(int argc, char** argv) {
  if (argc != 2 || chdir(argv[1]) != 0) return 1;
  DIR* folder = opendir(".");
  if (folder == NULL) return 1;
  int first = 1;
  const struct dirent* entry;
  while ((entry = readdir(folder)) != NULL) {
    char heading[300];
    if (!first) line("", 0);
    first = 0;
    line(heading, (size_t)snprintf(heading, sizeof heading, "Content of %s", entry->d_name));
    line("", 0);
    listFile(entry->d_name);
  }
  closedir(folder);
  return 0;
}
