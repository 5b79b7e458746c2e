#include "link/tcp_file_transfer.h"

#include "link/http_data.h"
#include "link/tcp_socket.h"

CTCPFileTransfer::CTCPFileTransfer(HWND owner) : m_owner(owner) {}

CTCPFileTransfer::~CTCPFileTransfer() = default;

void CTCPFileTransfer::SetHost(const std::string& host, int port) {
    m_host = host;
    m_port = port;
}

void CTCPFileTransfer::SetPassword(const std::string& password) { m_password = password; }

void CTCPFileTransfer::SetWorkDir(const char* path) {
    m_workDir = path ? path : "";
    if (!m_workDir.empty() && m_workDir.back() == '/') m_workDir.pop_back();
}

std::string CTCPFileTransfer::GetWorkDir() const { return m_workDir; }

void CTCPFileTransfer::SetListenPort(int port) { m_listenPort = port; }

void CTCPFileTransfer::SetListenAddress(const std::string& address) { m_listenAddress = address; }

std::string CTCPFileTransfer::MakeTempName() { return {}; }

int CTCPFileTransfer::ReadPhonebook() { return -1; }
int CTCPFileTransfer::ReadCallHistory() { return -1; }
int CTCPFileTransfer::ReadRestrictionNumbers() { return -1; }
int CTCPFileTransfer::WritePhonebook() { return -1; }
int CTCPFileTransfer::WriteRestrictionNumbers() { return -1; }

void CTCPFileTransfer::PrepareSpeedDialFiles(int) {}
void CTCPFileTransfer::PrepareExtensionFiles() {}
void CTCPFileTransfer::PrepareRestrictionFiles() {}
void CTCPFileTransfer::PrepareTemplateFile() {}
