#pragma once

namespace corvane::cli {

// Each command gets its own name as argv[0]; returns the process exit code
// (0 done, 1 the thing asked for is not there or failed, 2 usage error).
int runVersion(int argc, char** argv);
// config get|set|remove FILE SECTION KEY ...: read and edit settings files.
int runConfig(int argc, char** argv);
// crc7 HEX...: the packet check byte of the bytes.
int runCrc7(int argc, char** argv);
// packet decode HEX...: a captured packet's kind and fields.
int runPacket(int argc, char** argv);
// info [--json] [--rows] FILE: the layout, header and rows of a run file.
int runInfo(int argc, char** argv);
// dedupe FILE: remove repeated samples from a run file.
int runDedupe(int argc, char** argv);
// plan RUN --zone START END N [--zone ...] [--autofrac N] [--limit ML] [--volume-per-mm V]:
// check a zone plan and write it into the run as a standard run's plan.
int runPlan(int argc, char** argv);
// rescue TEMPFILE -o NEWFILE: save a lost temporary run under a new name, cleaned.
int runRescue(int argc, char** argv);
// link (--simulate | --port N) [--seconds S]: open the instrument link and report its traffic.
int runLink(int argc, char** argv);
// record (--simulate | --port N) [--de1] [--seconds S | --until-stop] ... -o FILE: record a run and save it.
int runRecord(int argc, char** argv);

// collect --preview RUN --start-level AU [...] [--json]: the fractions collecting by
// peaks would have cut on a recorded run.
int runCollect(int argc, char** argv);

// align [--x samples|mm] [--from X1 --to X2] [--json] REF RUN...: Abs A peaks and their offsets.
int runAlign(int argc, char** argv);
// export -o OUT [--offset N]... | --align ... RUN RUN [RUN [RUN]]: runs side by side in one export file.
int runExport(int argc, char** argv);

// analyze [--json | --csv] [options] FILE...: landmarks, baseline, regions, areas and
// ratios of each profile, and of replicate groups.
int runAnalyze(int argc, char** argv);

// render [--x mm|samples] [--channels LIST] [--overlay FILE] [--cursor X]... [--dpi N] [--portrait] -o OUT RUN:
// the graph page as an image, PDF or SVG.
int runRender(int argc, char** argv);

}  // namespace corvane::cli
