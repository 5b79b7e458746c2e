// MainUnitSimulator: a main unit on the network, for demonstrations and for the link's tests.
//
// It listens for the tool's control connection, answers the connection request (firmware
// version, device type, password), opens the data connection back to the tool, fetches the
// file list with the two-request 401 exchange and then either requests and stores every listed
// upload file or answers the tool's download requests from its own tables. Everything after
// the tool's first request is enciphered with the key the tool hands over in plain.
//
// It is strict about what the tool sends (mainunit/unit_checks.h): a file list that is not what
// a tool must send to a unit of this firmware, an upload block whose rows are not exactly those
// of its name, or a download request for a file out of the list fails the session with the
// reason, logged and kept in the session's `refusal`. The tables take an upload's blocks only
// once every listed block has come and passed.
//
// One session is served at a time, on a thread of its own; a tool that asks to connect while a
// session runs gets the busy answer (404). Faults can be injected at every protocol step so
// that the tool's failure paths can be shown for real.
//
// Threads: start() and stop() belong to the owner's thread. The accessors below are safe to
// call from any thread at any time; they return copies.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "mainunit/mainunit_tables.h"

// What goes wrong on purpose. Each fault acts at one step (SimulatorStep); which steps make
// sense for which fault is listed in the --help text (simulatorFaultHelp()).
enum class SimulatorFault {
  None,
  Close,                        // close the connection at the step instead of going on
  Stall,                        // send nothing more and keep the connection open
  BadStatus,                    // answer with an error status (500) instead of 200/401
  ShortBody,                    // send only half the body that Content-Length announced, then stall
  BadXml,                       // a body that is not well-formed XML
  NoContentLength,              // leave out the Content-Length line
  HugeContentLength,            // announce SimulatorOptions::hugeContentLength bytes
  NegativeContentLength,        // announce -5 bytes
  LongHeaderLines,              // put a 5000-byte header line into the head
  GarbageStatusLine,            // a start line that is no status or request line
  FirstRequestWithCredentials,  // the first request of an exchange already carries credentials
  WrongCredentials,             // the second request carries a wrong password
  NonGetMethod,                 // the second request uses POST
  UnknownFile,                  // the second request asks for a file nobody knows
  DataFileInListPhase,          // ask for a data file instead of file_list.xml
  RequestTyaklog,               // ask for tyaklog.txt instead of the listed file
  NoConnectBack,                // never open the data connection
  EndlessBody,                  // a body without Content-Length that never ends
  HugeXml,                      // a well-formed body of SimulatorOptions::hugeXmlBytes
  Reset,                        // reset the data connection (RST) before the tool's next request
  StallInHead,                  // send the start line of a head, then nothing more
};

// Where a fault acts.
enum class SimulatorStep {
  Default,    // the fault's usual step (defaultStepOf)
  Answer,     // the answer to the connection request, on the control connection
  Connect,    // opening the data connection back to the tool
  List,       // the simulator's requests for file_list.xml
  File,       // the simulator's requests for the listed upload files
  Challenge,  // the 401 answer to the tool's first request for a download file
  Fetch,      // the 200 answer with the document of a download file
};

struct SimulatorFaultChoice {
  SimulatorFault fault = SimulatorFault::None;
  SimulatorStep step = SimulatorStep::Default;
  // Which exchange of the step is hit, counted from 1 within a session (File: the n-th listed
  // upload file; Challenge and Fetch: the n-th download request). Answer, Connect and List
  // happen once per session.
  int occurrence = 1;
};

struct SimulatorOptions {
  std::string listenAddress = "127.0.0.2";  // dotted IPv4 address of the control listener
  int port = 9000;                          // control port; 0 picks a free one (see port())
  // fw_ver text; "" leaves the element out. Below 4.0 (and without one) the unit keeps the
  // 7-column speed dial and no templates; 1.00 and 2.00 keep no restriction numbers.
  std::string fwVer = "4.00";
  std::string devType = "Zu/ZPX-480";       // dev_type text
  std::string password = "7351";            // password element and the data credentials
  bool busy = false;                        // answer every connection request with 404
  bool pacing = true;                       // wait between steps as a real unit does
  std::string dataDir = "./mainunit-data";  // folder of the stored tables; "" keeps them in memory
  int toolPortFirst = 9000;                 // first port of the tool's data listener to try
  int toolPortCount = 5;                    // how many ports from toolPortFirst are tried
  SimulatorFaultChoice fault;                 // at most one fault per session
  std::string hugeContentLength = "999999999";  // the text HugeContentLength announces
  std::size_t hugeXmlBytes = 80u << 20;     // the body size HugeXml announces and sends
  int ioTimeoutMs = 120000;                 // longest wait for the tool's next byte or connection
  bool logToStderr = false;                 // one UTF-8 line per session step on stderr
};

// One head as it crossed the wire, deciphered: start line, header lines and the empty line,
// each with its CR LF.
struct CapturedHead {
  std::string connection;  // "control" or "data"
  bool fromTool = false;   // true: the tool sent it; false: the simulator sent it
  std::string text;
};

// What one session did.
struct SimulatorSession {
  int number = 0;               // 1 for the first session since start()
  bool finished = false;        // the session has ended (successfully or not)
  bool succeeded = false;       // every step completed as the protocol wants
  std::string direction;        // "UPLOAD", "DOWNLOAD" or "" when no file list arrived
  std::string failure;          // why the session ended early ("" on success)
  std::string refusal;          // what the tool sent wrong, when that ended it ("" otherwise)
  std::string fileList;         // the file list body as received
  std::vector<std::string> listedFiles;  // file names of the list, in order (duplicates kept)
  // Upload: every file received, in order, with its body. Download: every file served.
  std::vector<std::pair<std::string, std::string>> transferred;
  std::vector<CapturedHead> heads;  // every head of the session in wire order
};

class MainUnitSimulator {
 public:
  explicit MainUnitSimulator(SimulatorOptions options = {});
  // Stops the simulator if it still runs.
  ~MainUnitSimulator();
  MainUnitSimulator(const MainUnitSimulator&) = delete;
  MainUnitSimulator& operator=(const MainUnitSimulator&) = delete;

  // Loads the tables from the data folder (seeding the folder with sample data when it holds
  // none), binds the control listener and starts serving on the simulator's own thread. False
  // when the address cannot be bound, the data folder cannot be created or written, or the
  // simulator already runs.
  bool start();
  // Ends the current session at its next wait, closes every socket and joins the thread.
  void stop();
  bool running() const;

  // The control port actually bound (0 before start()).
  int port() const;

  // Options for the sessions that start from now on (the listen address, port and data folder
  // of a running simulator stay as they were). False when the fault does not fit its step.
  bool setOptions(const SimulatorOptions& options);
  SimulatorOptions options() const;
  // False (and nothing changes) when the fault cannot act at the named step.
  bool setFault(SimulatorFaultChoice fault);

  // The tables as they are now, and replacing them (saved to the data folder at once).
  MainUnitTables tables() const;
  bool setTables(const MainUnitTables& tables);

  // Sessions ended since start().
  int sessionCount() const;
  // Connection requests answered busy (404) because a session was running, since start(). The
  // busy option's answers are sessions of their own and not counted here.
  int busyAnswerCount() const;
  // Waits until at least `count` sessions have ended; false when the time ran out.
  bool waitForSessions(int count, std::chrono::milliseconds timeout) const;
  // The most recent session (the one running, or the last one ended); number 0 when none.
  SimulatorSession lastSession() const;

  struct Impl;  // the serving state, defined in simulator.cpp

 private:
  std::unique_ptr<Impl> m_impl;
};

// Command-line names of the faults and steps ("close", "stall", "bad-status", ...; "answer",
// "connect", "list", "file", "challenge", "fetch").
std::string_view simulatorFaultName(SimulatorFault fault);
std::string_view simulatorStepName(SimulatorStep step);
// The step a fault acts at when none is named.
SimulatorStep defaultStepOf(SimulatorFault fault);
// True when `fault` can act at `step` (Default always works).
bool faultFitsStep(SimulatorFault fault, SimulatorStep step);
// Parses "NAME", "NAME@STEP" or "NAME@STEP:N" (N = occurrence); false for unknown names or a
// fault that cannot act at the named step.
bool parseSimulatorFault(std::string_view text, SimulatorFaultChoice& out);
// Lines for --help: every fault name, what it does and where it can act.
std::string simulatorFaultHelp();
// Every fault but None, in the order of the --help text.
std::vector<SimulatorFault> simulatorFaults();
