#pragma once

namespace corvane::cli {

// Each command gets its own name as argv[0]; returns the process exit code
// (0 done, 1 the thing asked for is not there or failed, 2 usage error).
int runVersion(int argc, char** argv);
// config get|set|remove FILE SECTION KEY ...: read and edit settings files.
int runConfig(int argc, char** argv);
// info [--json] [--rows] FILE: the layout, header and rows of a run file.
int runInfo(int argc, char** argv);
// dedupe FILE: remove repeated samples from a run file.
int runDedupe(int argc, char** argv);
// rescue TEMPFILE -o NEWFILE: save a lost temporary run under a new name, cleaned.
int runRescue(int argc, char** argv);

}  // namespace corvane::cli
