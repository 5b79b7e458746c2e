// Fuzzes the handling of the main unit's answers. Each input is taken two ways:
// - as everything an in-process peer sends on the control connection in answer to the
//   connection request (status line, head, body by length or up to "</root>", the XML whose
//   firmware, device type and password the run goes on with), after which the peer closes;
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
#include "data/process_state.h"
#include "link/http_data.h"
#include "link/link_timing.h"
#include "link/tcp_file_transfer.h"
#include "link/tcp_socket.h"
#include "link/transfer_names.h"
#include "ui/scripted/scripted_ui.h"

namespace {

class AnswerProbe : public CTCPFileTransfer {
 public:
  AnswerProbe() : CTCPFileTransfer(nullptr) {
    m_http = std::make_unique<CHttpData>();
    SetWorkDir(fuzzscratch::folder().c_str());
  }

  void answerConnectionRequest(std::string_view bytes) {
    static TcpSocket listener;
    static int port = 0;
    if (!listener.IsOpen() && (!listener.Create() || !listener.BindListen(port, 4, "127.0.0.1")))
      __builtin_trap();
    TcpSocket peer;
    m_control = std::make_unique<TcpSocket>();
    if (!m_control->Create() || !m_control->Connect("127.0.0.1", port) || !listener.Accept(peer))
      __builtin_trap();
    ::send(peer.Handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(peer.Handle(), SHUT_WR);  // the request still arrives; the answer ends here
    m_phase = 1;
    RequestConnectionInfo();
    m_control.reset();
  }

  void convertFetched(const std::string& document) {
    for (std::string_view name : {kCallHistoryName, kRestrictionName, kTemplateName, kSpeedDialName,
                                  kExtensionName, kSpeedDialTenColumnName}) {
      m_currentFile = std::string(name);
      ConvertFetchedDocument(document);
    }
  }
};

ScriptedUi* ui = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ui = new ScriptedUi;  // answers every message box for the life of the process
  LinkTiming& t = linkTiming();
  t.answerStatusLine = t.answerHeaderLine = t.answerBody = std::chrono::milliseconds(200);
  cipherMode = 2;  // the bytes travel as they stand
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  initProcessState();
  ui->clearRecords();
  AnswerProbe probe;
  probe.answerConnectionRequest(std::string_view(reinterpret_cast<const char*>(data), size));
  probe.convertFetched(fuzzscratch::write("fetched.xml", data, size));
  return 0;
}
