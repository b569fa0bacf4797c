// The rules of incremental builds, all pure: the text of the build record, the digest of a
// command, the files a compiler's dependency output names, and the decision whether a recorded
// output is still up to date. The phases gather the facts (file sizes and times) and act.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

// What is known of one file: whether it exists, its size, its modification time and change
// time in nanoseconds since the epoch of the platform's file clock, and its identity (device
// and file number). A time set back, a link pointed at another file or a file replaced by
// another shows in the change time or the identity even where size and modification time
// are as before.
struct file_facts {
  bool exists = false;
  long long size = 0;
  long long time = 0;
  long long change_time = 0;
  long long device = 0;
  long long inode = 0;
};

// Whether two facts describe the same file as it was.
bool same_file_facts(const file_facts& a, const file_facts& b);

struct recorded_file {
  std::string name;
  file_facts facts;
  bool made = false;  // written by the command (its object, its module files), not read
};

// The environment variables that change what a compiler or linker reads or makes, in the order
// the record keeps them: include and library search paths, the compiler's own search for its
// programs, dependency output asked for by the environment, a fixed build date, debug checks,
// and the linker's run path.
extern const char* const tool_environment_names[];
extern const std::size_t tool_environment_count;

// The variables of that table that are set, with their values, in the table's order.
using tool_environment = std::vector<std::pair<std::string, std::string>>;

// One output as a command made it: the command's digest, the tool environment it ran in, the
// program files its program words led to as it started (launchers first; a word found nowhere
// has none), and every file the decision covers with its facts when the command had ended: the
// outputs first, then every input it read.
struct record_entry {
  std::string digest;
  tool_environment environment;
  std::vector<recorded_file> programs;
  std::vector<recorded_file> files;
};

// Outputs by name.
using build_record = std::map<std::string, record_entry>;

// The first line of a record this version writes and reads.
extern const char* const build_record_header;

// "LENGTH:HASH": the length and a 64-bit FNV-1a hash of the exact command text, in hex.
std::string command_digest(const std::string& command);

// The record's text: the header, then for each output a line "entry DIGEST<TAB>OUTPUT" and for
// each variable of its environment "env NAME<TAB>VALUE", for each of its programs
// "program FACTS<TAB>PATH", for each of its files "made FACTS<TAB>NAME" (written by the command),
// "file FACTS<TAB>NAME" (read by it) or "absent NAME" (looked for in vain where it would have
// come first: a file whose facts say it does not exist), FACTS being "SIZE TIME CHANGE_TIME
// DEVICE INODE", then "end N" with the number of entries. Names holding a tab or a line end
// cannot be written; their entries are left out.
std::string build_record_text(const build_record& record);

// Reads a record's text; false, with record empty, for anything but a whole record of this
// version (another program's file, a cut-off or altered one): then everything is rebuilt.
bool parse_build_record(const std::string& text, build_record& record);

// The file names of a compiler's make-rule dependency output ("-MD -MF FILE"): targets (before
// the colon) and prerequisites, unescaped as GCC writes them ("\ " a blank, "\#" a '#', "$$"
// a '$', backslash-newline a continuation). False when the text holds no rule.
bool parse_dependency_output(const std::string& text, std::vector<std::string>& targets,
                             std::vector<std::string>& prerequisites);

// Whether the facts of a file a command reads may be trusted: its time must lie before start
// (on the file clock; the run's start when deciding, the command's start when recording). A
// time equal to the start or later may belong to a change made in the same clock step as the
// recorded one, which size and time could not tell apart; a time with no fraction of a second
// may come from a file system that keeps whole seconds, so it must lie before the start's
// second.
bool facts_trusted(const file_facts& facts, long long start);

// Why a recorded output is not up to date, or "" when it is: no entry, another command, a
// variable of the tool environment set, unset or changed ("CPATH changed"), another program
// behind the command's words or a program file changed ("the compiler /usr/bin/gcc changed",
// naming the file found now, else the recorded one;
// programs: the files the words lead to now, with their facts), or a
// file of the entry that is missing or changed (any of its facts differs; content is never
// read), a file looked for in vain that exists now ("inc1/cfg.h appeared"), or an input whose
// time is not trusted. now holds the facts of the entry's files at this moment, in the entry's
// order.
std::string stale_reason(const record_entry* entry, const std::string& digest,
                         const tool_environment& environment, const std::vector<file_facts>& now,
                         long long run_start, const std::vector<recorded_file>& programs = {});

// Which compiles of a parallel run will surely be skipped, so that their sources need no module
// scan to order them: entries[i] is compile i's entry (null when it has none), up_to_date[i]
// whether stale_reason finds it up to date now. A compile up to date now is surely skipped
// unless it read a file that a compile of the run may write anew: one that the entry of a
// compile not surely skipped made (so a change reaches along a chain of modules), or, while any
// compile may run, a module file ("NAME.mod" or "NAME.smod") that no compile surely skipped made
// (a compile that runs may define a module it did not define before).
std::vector<bool> surely_skipped(const std::vector<const record_entry*>& entries,
                                 const std::vector<bool>& up_to_date);
