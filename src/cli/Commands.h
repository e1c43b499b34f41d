#pragma once

namespace corvane::cli {

// Each command gets its own name as argv[0]; returns the process exit code
// (0 done, 1 the thing asked for is not there or failed, 2 usage error).
int runVersion(int argc, char** argv);
int runCrc7(int argc, char** argv);
int runPacket(int argc, char** argv);

}  // namespace corvane::cli
