#include "front/cli/CommandLine.h"

#include "front/cli/Arguments.h"
#include "front/cli/ScanCommand.h"
#include "front/cli/WakeCommand.h"

namespace quarvo {

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  quarvo scan FIRST LAST [--threads N] [--list FILE] [--save] [--tsv|--names|--json]\n"
    "              [--timeout MS] [--rate N]\n"
    "  quarvo scan --localnet [--threads N] [--list FILE] [--save] [--tsv|--names|--json]\n"
    "              [--timeout MS] [--rate N]\n"
    "  quarvo wake [--pause MS] [--list FILE] [--interface NAME] TARGET...\n"
    "  quarvo --help | --version\n"
    "  quarvo                     (no arguments: the window)\n"
    "\n"
    "scan asks every address from FIRST to LAST for its MAC address with one ARP request each and\n"
    "prints the machines that answer: machine number, IP address, MAC address, worker, change\n"
    "(New, Yes, No) and status (answered or not), then the summary line.\n"
    "  --localnet     the IPv4 networks of this machine's interfaces that have a link (carrier), each\n"
    "                 network once and at most a /16, in turn\n"
    "  --threads N    workers, as the window's threads box: 0 means one per address; more than\n"
    "                 1000 gives 800 (default 0)\n"
    "  --list FILE    load this results file first, so that rows are marked against it\n"
    "  --save         write the merged list back to FILE\n"
    "  --tsv          one tab-separated line per row on standard output, the summary on standard error\n"
    "  --names        add each machine's vendor and host name to the table\n"
    "  --json         one JSON object per row (JSON Lines) with vendor and host name; the summary on\n"
    "                 standard error\n"
    "  --timeout MS   the longest a silent address is asked, retries included (default 800)\n"
    "  --rate N       at most N ARP requests a second, resends included (1-100000; default: the\n"
    "                 pace the network answers at)\n"
    "Ctrl-C stops the run at once and prints what was found.\n"
    "wake sends a magic packet to UDP port 9 for each TARGET: a MAC address, or, with --list, a\n"
    "machine number or IP address of a row of FILE. A row's packet leaves by the interface whose\n"
    "network holds its IP address, to that network's broadcast address and to 255.255.255.255; a\n"
    "bare MAC address goes out of every interface that is up and broadcasts. A magic packet has no\n"
    "answer: the count says how many the system sent, not how many machines woke.\n"
    "  --pause MS        pause between two machines (default 0)\n"
    "  --interface NAME  send by this interface only\n"
    "\n"
    "Exit status: 0 done, 1 failed (standard output not written included), 2 bad arguments,\n"
    "130 stopped by Ctrl-C.\n";

int RunCommand(const std::vector<std::string>& words, CliEnvironment& env) {
  Arguments arguments;
  try {
    arguments = ParseArguments(words);
  } catch (const ArgumentError& error) {
    env.err << "quarvo: " << error.what() << "\nTry 'quarvo --help'.\n";
    return kExitBadArguments;
  }
  switch (arguments.kind) {
    case CommandKind::Help:
      env.out << kUsage << std::flush;
      return kExitDone;
    case CommandKind::Version:
      env.out << "quarvo " << kVersion << "\n" << std::flush;
      return kExitDone;
    case CommandKind::Scan:
      return RunScanCommand(arguments.scan, env);
    case CommandKind::Wake:
      return RunWakeCommand(arguments.wake, env);
  }
  return kExitFailed;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& words, CliEnvironment& env) {
  const int status = RunCommand(words, env);
  // Output that did not reach its place (a full disk, a closed pipe) is a failure, whatever the
  // command did: a script reading it would otherwise take a part for the whole.
  env.out.flush();
  if (env.out) return status;
  env.err << "quarvo: the output could not be written to standard output\n" << std::flush;
  return status == kExitDone || status == kExitInterrupted ? kExitFailed : status;
}

}  // namespace quarvo
