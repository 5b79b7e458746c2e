// Names, steps and help texts of the simulator's faults.
#include <charconv>
#include <string>
#include <vector>

#include "mainunit/simulator.h"

namespace {

struct FaultInfo {
  SimulatorFault fault;
  std::string_view name;
  SimulatorStep defaultStep;
  unsigned steps;  // bit (1 << step) for every step the fault can act at
  std::string_view help;
};

constexpr unsigned bit(SimulatorStep s) { return 1u << static_cast<unsigned>(s); }

constexpr unsigned kAnswer = bit(SimulatorStep::Answer);
constexpr unsigned kConnect = bit(SimulatorStep::Connect);
constexpr unsigned kList = bit(SimulatorStep::List);
constexpr unsigned kFile = bit(SimulatorStep::File);
constexpr unsigned kChallenge = bit(SimulatorStep::Challenge);
constexpr unsigned kFetch = bit(SimulatorStep::Fetch);
constexpr unsigned kRequests = kList | kFile;
constexpr unsigned kAnswers = kAnswer | kChallenge | kFetch;

constexpr FaultInfo kFaults[] = {
    {SimulatorFault::None, "none", SimulatorStep::Answer, kAnswers | kConnect | kRequests,
     "no fault (the default)"},
    {SimulatorFault::Close, "close", SimulatorStep::Answer, kAnswers | kConnect | kRequests,
     "close the connection at the step"},
    {SimulatorFault::Stall, "stall", SimulatorStep::Answer, kAnswers | kConnect | kRequests,
     "send nothing more and keep the connection open until the tool gives up"},
    {SimulatorFault::BadStatus, "bad-status", SimulatorStep::Answer, kAnswers,
     "answer 500 Internal Server Error"},
    {SimulatorFault::ShortBody, "short-body", SimulatorStep::Answer, kAnswer | kFetch,
     "send half of the announced body, then stall"},
    {SimulatorFault::BadXml, "bad-xml", SimulatorStep::Answer, kAnswer | kFetch,
     "send a body that is not well-formed XML"},
    {SimulatorFault::NoContentLength, "no-content-length", SimulatorStep::Answer, kAnswer | kFetch,
     "leave out the Content-Length line"},
    {SimulatorFault::HugeContentLength, "huge-content-length", SimulatorStep::Answer,
     kAnswer | kFetch, "announce --huge-length bytes (default 999999999) and send the real body"},
    {SimulatorFault::NegativeContentLength, "negative-content-length", SimulatorStep::Answer,
     kAnswer | kFetch, "announce Content-Length: -5 and send the real body"},
    {SimulatorFault::LongHeaderLines, "long-header-lines", SimulatorStep::Answer,
     kAnswers | kRequests, "put a 5000-byte header line into the head"},
    {SimulatorFault::GarbageStatusLine, "garbage-status-line", SimulatorStep::Answer,
     kAnswers | kRequests, "send a start line that is no status line (or no request line)"},
    {SimulatorFault::FirstRequestWithCredentials, "first-request-with-credentials",
     SimulatorStep::List, kRequests,
     "send the credentials with the first request already, then request again"},
    {SimulatorFault::WrongCredentials, "wrong-credentials", SimulatorStep::List, kRequests,
     "send a wrong password with the second request"},
    {SimulatorFault::NonGetMethod, "non-get-method", SimulatorStep::List, kRequests,
     "use POST for the second request"},
    {SimulatorFault::UnknownFile, "unknown-file", SimulatorStep::List, kRequests,
     "ask for a file nobody knows (unknown.txt)"},
    {SimulatorFault::DataFileInListPhase, "data-file-in-list-phase", SimulatorStep::List, kList,
     "ask for sys-tan0000.txt instead of file_list.xml"},
    {SimulatorFault::RequestTyaklog, "request-tyaklog", SimulatorStep::File, kRequests,
     "ask for tyaklog.txt instead of the listed file"},
    {SimulatorFault::NoConnectBack, "no-connect-back", SimulatorStep::Connect, kConnect,
     "never open the data connection"},
    {SimulatorFault::EndlessBody, "endless-body", SimulatorStep::Answer, kAnswer | kFetch,
     "send a body without Content-Length that never ends"},
    {SimulatorFault::HugeXml, "huge-xml", SimulatorStep::Answer, kAnswer | kFetch,
     "send a well-formed body of --huge-xml bytes (default 80 MiB) with its true Content-Length"},
    {SimulatorFault::Reset, "reset", SimulatorStep::Challenge, kChallenge,
     "reset the data connection before the tool sends its download request, so its send fails"},
    {SimulatorFault::StallInHead, "stall-in-head", SimulatorStep::List, kAnswers | kRequests,
     "send the start line of the head, then nothing more until the tool gives up"},
};

constexpr struct {
  SimulatorStep step;
  std::string_view name;
  std::string_view help;
} kSteps[] = {
    {SimulatorStep::Answer, "answer", "the answer to the connection request (control connection)"},
    {SimulatorStep::Connect, "connect", "opening the data connection back to the tool"},
    {SimulatorStep::List, "list", "the simulator's requests for file_list.xml"},
    {SimulatorStep::File, "file", "the simulator's requests for the listed upload files"},
    {SimulatorStep::Challenge, "challenge", "the 401 answer to the tool's first download request"},
    {SimulatorStep::Fetch, "fetch", "the 200 answer with a download document"},
};

const FaultInfo& infoOf(SimulatorFault f) {
  for (const FaultInfo& i : kFaults)
    if (i.fault == f) return i;
  return kFaults[0];
}

}  // namespace

std::string_view simulatorFaultName(SimulatorFault fault) { return infoOf(fault).name; }

std::string_view simulatorStepName(SimulatorStep step) {
  for (const auto& s : kSteps)
    if (s.step == step) return s.name;
  return "default";
}

SimulatorStep defaultStepOf(SimulatorFault fault) { return infoOf(fault).defaultStep; }

bool faultFitsStep(SimulatorFault fault, SimulatorStep step) {
  return step == SimulatorStep::Default || (infoOf(fault).steps & bit(step)) != 0;
}

bool parseSimulatorFault(std::string_view text, SimulatorFaultChoice& out) {
  std::string_view name = text, step, count;
  if (std::size_t at = text.find('@'); at != std::string_view::npos) {
    name = text.substr(0, at);
    step = text.substr(at + 1);
    if (std::size_t colon = step.find(':'); colon != std::string_view::npos) {
      count = step.substr(colon + 1);
      step = step.substr(0, colon);
    }
  }
  SimulatorFaultChoice choice;
  bool found = false;
  for (const FaultInfo& i : kFaults)
    if (i.name == name) choice.fault = i.fault, found = true;
  if (!found) return false;
  if (!step.empty()) {
    found = false;
    for (const auto& s : kSteps)
      if (s.name == step) choice.step = s.step, found = true;
    if (!found || !faultFitsStep(choice.fault, choice.step)) return false;
  }
  if (!count.empty()) {
    auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), choice.occurrence);
    if (ec != std::errc() || end != count.data() + count.size() || choice.occurrence < 1) return false;
  }
  out = choice;
  return true;
}

std::vector<SimulatorFault> simulatorFaults() {
  std::vector<SimulatorFault> faults;
  for (const FaultInfo& i : kFaults)
    if (i.fault != SimulatorFault::None) faults.push_back(i.fault);
  return faults;
}

std::string simulatorFaultHelp() {
  std::string text = "Faults (--fault NAME[@STEP[:N]]; N counts the exchanges of the step, from 1):\n";
  for (const FaultInfo& i : kFaults) {
    if (i.fault == SimulatorFault::None) continue;
    text += "  " + std::string(i.name);
    text.append(i.name.size() < 31 ? 31 - i.name.size() : 1, ' ');
    text += std::string(i.help) + "\n";
    text.append(33, ' ');
    text += "steps:";
    for (const auto& s : kSteps) {
      if (!(i.steps & bit(s.step))) continue;
      text += " " + std::string(s.name);
      if (s.step == i.defaultStep) text += " (default)";
    }
    text += "\n";
  }
  text += "Steps:\n";
  for (const auto& s : kSteps) {
    text += "  " + std::string(s.name);
    text.append(s.name.size() < 31 ? 31 - s.name.size() : 1, ' ');
    text += std::string(s.help) + "\n";
  }
  return text;
}
