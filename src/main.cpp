// veldran [options] [input [output [command-string]]]
// Parses the command line and runs the processor.
#include "driver/program.h"
#include "platform/include_path.h"
#include "platform/posix_platform.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: veldran [options] [input [output [command-string]]]\n"
    "Reads input (default TEST.INP, - standard input), writes output\n"
    "(default TEST.OUT, - standard output); the command string is a first\n"
    "input line. --where, --trace and --warn write to standard error.\n"
    "  -o, --output FILE  write FILE, in place of the second argument\n"
    "  -D NAME=EXPR       set a number first, as %SET NAME=EXPR;\n"
    "  -T NAME=TEXT       define a text first, as %DEFT NAME:TEXT\n"
    "  -I DIR             look for missing INCLUDE files in DIR, then in\n"
    "                     VELDRAN_PATH\n"
    "  --lf               files with LF line ends\n"
    "  --utf8             messages in UTF-8 instead of code page 850\n"
    "  --console=stderr   messages and DISP on standard error\n"
    "  --deps FILE        write a make rule of the files read to FILE\n"
    "  --storage SIZE     storage of SIZE bytes, 64K to 1G (default 1M)\n"
    "  --strict           exit code 5 when the template gets a message\n"
    "  --where            after each message, where it came from\n"
    "  --trace[=NAME,..]  trace commands and macro calls (or only these)\n"
    "  --warn             warn of traps such as LF files and cut names\n"
    "  --unix             --lf --utf8 --strict --warn; no arguments: - -\n"

    "  -h, --help         show this help\n"
    "  -V, --version      show the version\n"
    "Exit codes: 0 done (or CANCEL); 1 the output could not be written;\n"
    "2 usage; 3 the input could not be read; 4 stopped early (storage,\n"
    "memory, console input); 5 --strict and the template got a message.\n";

enum LongOnly {
  OPT_LF = 256,
  OPT_UTF8,
  OPT_CONSOLE,
  OPT_DEPS,
  OPT_STORAGE,
  OPT_STRICT,
  OPT_WHERE,
  OPT_TRACE,
  OPT_WARN,
  OPT_UNIX,
};

const option kOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"lf", no_argument, nullptr, OPT_LF},
    {"utf8", no_argument, nullptr, OPT_UTF8},
    {"console", required_argument, nullptr, OPT_CONSOLE},
    {"deps", required_argument, nullptr, OPT_DEPS},
    {"storage", required_argument, nullptr, OPT_STORAGE},
    {"strict", no_argument, nullptr, OPT_STRICT},
    {"where", no_argument, nullptr, OPT_WHERE},
    {"trace", optional_argument, nullptr, OPT_TRACE},
    {"warn", no_argument, nullptr, OPT_WARN},
    {"unix", no_argument, nullptr, OPT_UNIX},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

struct CommandLine {
  veldran::RunOptions run;
  veldran::PosixPlatform::Options platform;
  bool outputOption = false;
  bool unixStyle = false;
  bool help = false;
  bool version = false;
};

struct UsageError {
  std::string problem;
};

// NAME=VALUE of -D and -T.
veldran::Definition definition(const char *argument, bool text) {
  std::string s = argument;
  std::size_t equals = s.find('=');
  if (equals == 0 || equals == std::string::npos)
    throw UsageError{std::string(text ? "-T" : "-D") + " needs NAME=VALUE"};
  return {text, s.substr(0, equals), s.substr(equals + 1)};
}

// A size with an optional K, M or G behind it, from 64K to 1G.
std::uint32_t storageSize(const std::string &argument) {
  constexpr unsigned long long kMin = 64 * 1024, kMax = 1024 * 1024 * 1024;
  const UsageError wrong{"--storage needs a size from 64K to 1G"};
  std::string digits = argument;
  unsigned long long unit = 1;
  std::size_t suffix = digits.empty()
                           ? std::string::npos
                           : std::string("KMGkmg").find(digits.back());
  if (suffix != std::string::npos) {
    unit = 1ull << (10 * (suffix % 3 + 1));
    digits.pop_back();
  }
  unsigned long long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || n > kMax)
      throw wrong;
    n = n * 10 + static_cast<unsigned long long>(c - '0');
  }
  if (digits.empty() || n * unit < kMin || n * unit > kMax)
    throw wrong;
  return static_cast<std::uint32_t>(n * unit);
}

// The names of --trace=NAME,NAME, upper-cased as names are.
std::vector<std::string> traceNames(const char *argument) {
  std::vector<std::string> names(1);
  for (const char *c = argument; *c; ++c) {
    if (*c == ',')
      names.emplace_back();
    else
      names.back() +=
          static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  return names;
}

void takeOption(CommandLine &c, int option) {
  switch (option) {
  case 'o':
    c.run.output = optarg;
    c.outputOption = true;
    break;
  case 'D':
  case 'T':
    c.run.definitions.push_back(definition(optarg, option == 'T'));
    break;
  case 'I':
    c.run.includePath.push_back(optarg);
    break;
  case OPT_LF:
    c.platform.lfLineEnds = true;
    break;
  case OPT_UTF8:
    c.platform.utf8Messages = true;
    break;
  case OPT_CONSOLE:
    if (std::string(optarg) != "stderr" && std::string(optarg) != "stdout")
      throw UsageError{"--console is stderr or stdout"};
    c.platform.consoleOnStderr = std::string(optarg) == "stderr";
    break;
  case OPT_DEPS:
    c.run.depfile = optarg;
    break;
  case OPT_STORAGE:
    c.run.storageSize = storageSize(optarg);
    break;
  case OPT_STRICT:
    c.run.strict = true;
    break;
  case OPT_WHERE:
    c.run.where = true;
    break;
  case OPT_TRACE:
    c.run.trace = true;
    if (optarg)
      c.run.traceNames = traceNames(optarg);
    break;
  case OPT_WARN:
    c.run.warn = true;
    break;
  case OPT_UNIX:
    c.unixStyle = c.platform.lfLineEnds = c.platform.utf8Messages = true;
    c.run.strict = c.run.warn = true;
    break;
  case 'h':
    c.help = true;
    break;
  case 'V':
    c.version = true;
    break;
  default: // getopt has printed what it did not understand
    throw UsageError{};
  }
}

// Positional arguments mean what they always meant: input, output, command
// string; further ones are ignored.
void takePositional(CommandLine &c, const std::vector<std::string> &args) {
  if (c.outputOption && args.size() > 1)
    throw UsageError{"the output is given twice (-o and an argument)"};
  if (args.empty() && c.unixStyle)
    c.run.input = c.run.output = "-";
  if (args.size() > 0)
    c.run.input = args[0];
  if (args.size() > 1)
    c.run.output = args[1];
  if (args.size() > 2)
    c.run.commandString = args[2];
}

CommandLine parse(int argc, char **argv) {
  CommandLine c;
  // '+': options end at the first positional argument, as at "--".
  int option;
  while ((option = getopt_long(argc, argv, "+o:D:T:I:hV", kOptions, nullptr)) !=
         -1)
    takeOption(c, option);
  takePositional(c, std::vector<std::string>(argv + optind, argv + argc));
  if (const char *path = std::getenv("VELDRAN_PATH"))
    for (const std::string &dir : veldran::splitSearchPath(path))
      c.run.includePath.push_back(dir);
  c.run.searchIncludes = !c.run.includePath.empty();
  if (c.run.output == "-")
    c.platform.consoleOnStderr = true;
  c.platform.consoleInputFromTerminal = c.run.input == "-";
  return c;
}

} // namespace

int main(int argc, char **argv) {
  CommandLine c;
  try {
    c = parse(argc, argv);
  } catch (const UsageError &e) {
    if (!e.problem.empty())
      std::fprintf(stderr, "veldran: %s\n", e.problem.c_str());
    std::fputs(kUsage, stderr);
    return static_cast<int>(veldran::ExitCode::Usage);
  }
  if (c.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (c.version) {
    std::printf("veldran %s\n", VELDRAN_VERSION);
    return 0;
  }
  veldran::PosixPlatform platform(c.platform);
  return veldran::runVeldran(platform, c.run);
}
