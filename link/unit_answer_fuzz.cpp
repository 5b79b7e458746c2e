// Fuzzes the handling of the main unit's answers. Each input is taken two ways:
// - as everything an in-process peer sends on the control connection in answer to the
//   connection request (status line, head, body by length or up to "</root>", the XML whose
//   firmware, device type and password the run goes on with), after which the peer stops
//   sending. The connection is a local socket pair, so thousands of inputs a second take no
//   port and leave no TIME_WAIT behind;
// - as the document fetched for each kind of download file, converted into its exchange files.
// Messages the user would see are answered by the scripted backend and forgotten.
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/fuzz_scratch.h"
#include "base/socket.h"
#include "base/socket_test_support.h"
#include "data/process_state.h"
#include "link/data_phase.h"
#include "link/http_data.h"
#include "link/link_stream.h"
#include "link/link_timing.h"
#include "link/tcp_file_transfer.h"
#include "link/transfer_names.h"
#include "ui/scripted/scripted_ui.h"

namespace {

// The work folder: the scratch folder without its trailing '/'.
std::string workFolder() {
  const std::string& folder = fuzzscratch::folder();
  return folder.substr(0, folder.size() - 1);
}

class AnswerProbe : public CTCPFileTransfer {
 public:
  AnswerProbe() : CTCPFileTransfer(nullptr) {
    m_http = std::make_unique<CHttpData>();
    SetWorkDir(workFolder().c_str());
  }

  void answerConnectionRequest(std::string_view bytes) {
    Socket peer;
    Socket tool;
    if (!localSocketPair(peer, tool)) __builtin_trap();
    m_control = LinkStream(std::move(tool), 0);  // no key: the bytes pass as they stand
    // A socket pair buffers far more than any input libFuzzer makes (-max_len) and than the
    // connection request, so neither side's send waits for the other to read.
    ::send(peer.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(peer.handle(), SHUT_WR);  // the request still arrives; the answer ends here
    RequestConnectionInfo();
    m_control.close();
  }
};

void convertFetched(const std::string& document) {
  const std::string folder = workFolder();
  for (std::string_view name : {kCallHistoryName, kRestrictionName, kTemplateName, kSpeedDialName,
                                kExtensionName, kSpeedDialTenColumnName})
    (void)convertFetchedDocument(document, name, folder);
}

ScriptedUi* ui = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ui = new ScriptedUi;  // answers every message box for the life of the process
  LinkTiming& t = linkTiming();
  t.answerStatusLine = t.answerHeaderLine = t.answerBody = std::chrono::milliseconds(200);
  t.blockRead = std::chrono::milliseconds(200);
  t.pacingScale = 0;  // no sleep before the body is read by its length
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  initProcessState();
  ui->clearRecords();
  AnswerProbe probe;
  probe.answerConnectionRequest(std::string_view(reinterpret_cast<const char*>(data), size));
  convertFetched(fuzzscratch::write("fetched.xml", data, size));
  return 0;
}
