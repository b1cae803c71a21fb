#pragma once
// Subcommands of quellmark-render. Each gets the arguments from its own name on (argv[0] is the
// subcommand) and returns the process exit status.
int RenderSidCommand(int argc, char** argv);
int RenderXmCommand(int argc, char** argv);
