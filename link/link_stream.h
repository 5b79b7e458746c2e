// LinkStream: one connection of the link to the main unit, a Socket whose bytes are enciphered
// with the key of the transfer run.
//
// The key is a vaultline handle (vaultline/vaultline.h) set by the run that owns the stream;
// every operation but sendPlainLine enciphers what it sends and deciphers what it receives with
// it. A stream without a key (0) moves its bytes plain: the cipher leaves bytes alone for a handle
// it does not know.
//
// Waits: every time-out is passed in by the caller; the fixed sleep before a block read comes
// from linkTiming() (link/link_timing.h). Failures are reported through the results: false, -1,
// or a short count.
#pragma once

#include <chrono>
#include <string_view>
#include <utility>

#include "base/socket.h"

class LinkStream {
 public:
  LinkStream() = default;
  explicit LinkStream(int key) : m_key(key) {}
  LinkStream(Socket socket, int key) : m_socket(std::move(socket)), m_key(key) {}

  Socket& socket() { return m_socket; }
  const Socket& socket() const { return m_socket; }
  void setKey(int key) { m_key = key; }
  bool isOpen() const { return m_socket.isOpen(); }
  void close() { m_socket.close(); }

  // Sends `text` and CR LF in one send, enciphered. Returns the count sent or -1.
  int sendLine(std::string_view text);
  // Sends `text` and CR LF as they are: the connection request, which hands the key over.
  int sendPlainLine(std::string_view text);
  // One receive of at most `length` bytes, deciphered. The count, 0 when the peer closed, -1.
  int recvSome(char* buffer, int length);
  // Reads one line a byte at a time, deciphered, waiting up to `wait` before each byte (no
  // limit when `wait` is not above 0). CR LF ends the line (the CR is dropped, a bare LF is
  // data); the line also ends when size-1 bytes are stored or the peer closes. The text is
  // NUL-terminated and its length returned (an empty line gives 0). A wait that expires sets
  // `wait` to -1 ms and returns -1; a failed wait or receive returns -1.
  int readLineWait(char* buffer, int size, std::chrono::milliseconds& wait);
  // Sleeps linkTiming().blockReadStart, then receives in pieces of at most 1024 bytes until
  // `length` bytes arrived, a wait of `wait` runs out (no limit when not above 0) or the peer
  // closes; with `progress`, posts the running total to the progress window after every piece.
  // Deciphers the whole `length` in place, so the stream moves on by `length` however much
  // arrived. Returns the count received, or -1 on error (then nothing is deciphered).
  int recvBlock(char* buffer, int length, std::chrono::milliseconds wait, bool progress);
  // Enciphers `length` bytes in place and sends them in pieces of at most 1024 bytes; with
  // `progress`, posts the running total after every piece but the first. Returns the total
  // sent, or the failing send's result.
  int sendBlock(char* data, int length, bool progress);

 private:
  void encipher(char* data, int length) const;
  void decipher(char* data, int length) const;
  // One byte of a line: 1, 0 when the peer closed, -1 on error, -2 when the wait expired.
  int recvLineByte(char* byte, std::chrono::milliseconds wait);

  Socket m_socket;
  int m_key = 0;
};
