#include "link/link_stream.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "link/link_timing.h"
#include "link/progress_messages.h"
#include "ui/window_registry.h"
#include "vaultline/vaultline.h"

namespace {

constexpr int kPieceSize = 1024;

void postBytesDone(int total) {
  postToWindow(kTransferProgressTitle, kBytesDoneMessage, static_cast<std::uintptr_t>(total));
}

std::string withLineEnd(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  return line;
}

}  // namespace

void LinkStream::encipher(char* data, int length) const {
  auto* bytes = reinterpret_cast<unsigned char*>(data);
  VLT_SendEncrypt(m_key, length, bytes, bytes);
}

void LinkStream::decipher(char* data, int length) const {
  auto* bytes = reinterpret_cast<unsigned char*>(data);
  VLT_RecvDecrypt(m_key, length, bytes, bytes);
}

int LinkStream::sendLine(std::string_view text) {
  std::string line = withLineEnd(text);
  if (!m_socket.isOpen()) return -1;
  encipher(line.data(), static_cast<int>(line.size()));
  return m_socket.sendAll(line.data(), static_cast<int>(line.size()));
}

int LinkStream::sendPlainLine(std::string_view text) {
  const std::string line = withLineEnd(text);
  return m_socket.sendAll(line.data(), static_cast<int>(line.size()));
}

int LinkStream::recvSome(char* buffer, int length) {
  const int r = m_socket.recvSome(buffer, length);
  if (r > 0) decipher(buffer, r);
  return r;
}

int LinkStream::recvLineByte(char* byte, std::chrono::milliseconds wait) {
  int r = m_socket.recvWaiting(byte, 1);
  if (r == -2) {
    const int ready = m_socket.waitReadable(wait);
    if (ready <= 0) return ready == 0 ? -2 : -1;
    r = m_socket.recvSome(byte, 1);
  }
  if (r > 0) decipher(byte, 1);
  return r;
}

int LinkStream::readLineWait(char* buffer, int size, std::chrono::milliseconds& wait) {
  if (buffer == nullptr || size <= 0) return -1;
  buffer[0] = '\0';
  if (!m_socket.isOpen()) return -1;
  int stored = 0;
  bool pendingCr = false;
  while (stored < size - 1) {
    char byte;
    const int r = recvLineByte(&byte, wait);
    if (r == -2) {
      wait = std::chrono::milliseconds(-1);
      return -1;
    }
    if (r < 0) return -1;
    if (r == 0) break;
    if (pendingCr && byte == '\n') {
      --stored;  // the CR before the LF is not part of the line
      break;
    }
    buffer[stored++] = byte;
    pendingCr = byte == '\r';
  }
  buffer[stored] = '\0';
  return stored;
}

int LinkStream::recvBlock(char* buffer, int length, std::chrono::milliseconds wait, bool progress) {
  if (!m_socket.isOpen() || length < 0) return -1;
  pace(linkTiming().blockReadStart);
  int total = 0;
  while (total < length) {
    const int ready = m_socket.waitReadable(wait);
    if (ready < 0) return -1;
    if (ready == 0) break;
    const int r = m_socket.recvSome(buffer + total, std::min(length - total, kPieceSize));
    if (r < 0) return -1;
    if (r == 0) break;
    total += r;
    if (progress) postBytesDone(total);
  }
  decipher(buffer, length);
  return total;
}

int LinkStream::sendBlock(char* data, int length, bool progress) {
  if (!m_socket.isOpen() || length < 0) return -1;
  encipher(data, length);
  int total = 0;
  bool first = true;
  while (total < length) {
    const int r = m_socket.sendSome(data + total, std::min(length - total, kPieceSize));
    if (r <= 0) return r < 0 ? -1 : total;
    total += r;
    if (progress && !first) postBytesDone(total);
    first = false;
  }
  return total;
}
