#pragma once
// The command-line tool's "poll" command: connects to one recorder and prints its clock and
// the monitored channels' values once per tick, for unattended checks and logging.

#include <iosfwd>
#include <string>
#include <vector>

std::string PollUsage();

// args are the words after "poll". Returns the exit status: 0 after the last tick or an
// interrupt, 1 when the port cannot be opened or the instrument does not answer, 2 for a
// usage error.
int RunPollCommand(const std::vector<std::string>& args);
// The same, printing ticks to out and messages to err.
int RunPollCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
