// quellmark-render: renders the magazine's music to WAV files, one subcommand per player.
#include <cstdio>
#include <cstring>

int RenderXmCommand(int argc, char** argv);

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "xm") == 0) return RenderXmCommand(argc - 1, argv + 1);
  std::fprintf(stderr,
               "usage: quellmark-render xm FILE.xm OUT.wav [--seconds S]\n"
               "       quellmark-render xm --embedded N OUT.wav [--seconds S]\n");
  return 2;
}
