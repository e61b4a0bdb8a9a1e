/* Prints one line of a .dlg dialogue file by its ID, the way a game fetches it:
 *
 *   print_line FILE.dlg ID
 *
 * prints "speaker: text" (or the text alone when the line has no speaker) and exits 0; exits 1
 * when no line has that ID and 2 when the file cannot be opened. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <parlatrix/runtime.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s FILE.dlg ID\n", argv[0]);
    return 2;
  }
  char* end = NULL;
  errno = 0;
  const long id = strtol(argv[2], &end, 10);
  if (errno != 0 || *end != '\0' || end == argv[2] || id < 0 || id > INT32_MAX) {
    fprintf(stderr, "%s: not a line ID\n", argv[2]);
    return 2;
  }

  prx_file* file = NULL;
  prx_error error;
  if (prx_open(argv[1], &file, &error) != PRX_OK) {
    fprintf(stderr, "%s\n", error.message);
    return 2;
  }
  prx_line line;
  const prx_status status = prx_get_line(file, (int32_t)id, &line);
  if (status != PRX_OK) {
    fprintf(stderr, "line %ld: %s\n", id, prx_status_message(status));
    prx_close(file);
    return 1;
  }
  /* The texts belong to the handle: use them before prx_close. */
  if (line.speaker.size > 0) printf("%s: ", line.speaker.data);
  fwrite(line.text.data, 1, line.text.size, stdout);
  putchar('\n');
  prx_close(file);
  return 0;
}
