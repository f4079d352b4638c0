// Exit codes of the vimo tool, which scripts rely on; `vimo --help` and the README list them.
#ifndef VIMO_TOOLS_EXITCODES_H
#define VIMO_TOOLS_EXITCODES_H

namespace vimo_cli {

const int kExitOk = 0;        // success
const int kExitFailure = 1;   // the job ran but failed (calibration not possible, internal error)
const int kExitUsage = 2;     // bad usage: unknown option, missing or invalid argument
const int kExitBadInput = 3;  // an input file is missing, unreadable or invalid
const int kExitNotFound = 4;  // with --require-found: a gauge was not found
const int kExitOutputFailed = 5;  // an output file could not be written

// The table printed at the end of `vimo --help`.
const char* const kExitCodesHelp =
    "Exit codes:\n"
    "  0  success\n"
    "  1  the job failed (e.g. no dot grid found, calibration not possible)\n"
    "  2  bad usage (unknown option, missing or invalid argument)\n"
    "  3  an input file is missing, unreadable or invalid\n"
    "  4  with --require-found: a gauge was not found\n"
    "  5  an output file could not be written\n";

}  // namespace vimo_cli

#endif
