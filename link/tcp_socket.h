// TcpSocket: one IPv4 stream socket, shared by the main-unit link and the local web server.
//
// Enciphering: the general operations (Send, SendLine, RecvSome and the line readers built on
// it, RecvExact) consult the process-wide cipherMode:
//   0  outgoing bytes are enciphered in place before they are sent, incoming bytes deciphered;
//   1  outgoing bytes go out plain, incoming bytes are deciphered;
//   2  both directions are plain.
// The link's block operations (RecvBlock, SendBlock) always encipher. Every cipher call uses the
// process-wide keyHandle (vaultline/vaultline.h), so a program that keeps keys of its own (the
// main-unit simulator) must not move its bytes through these operations with cipherMode below 2.
//
// Waits: every time-out is passed in by the caller; the fixed sleeps before block reads come from
// linkTiming() (link/link_timing.h). No operation raises SIGPIPE: a send to a closed peer fails.
//
// Only BindListen shows messages (caption "エラー", warning icon, owner ownerWindow). Every other
// operation reports through its result: false, -1, or a short count.
//
// A TcpSocket is used by one thread at a time; it owns its descriptor and closes it on
// destruction, so it is not copyable.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/progress_messages.h"
#include "ui/win_types.h"

// Which directions the general socket operations encipher (see above). Changed by the link at the
// start of a run and by the local web server around its own reads and writes.
extern std::atomic<std::int32_t> cipherMode;
// The cipher key of the current transfer run (0 when none).
extern std::atomic<std::int32_t> keyHandle;

class TcpSocket {
public:
    static constexpr int kStream = 1;

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Opens a socket of `kind` (1 = stream). Fails when this socket is open already.
    bool Create(int kind = kStream);
    // Binds to `port` on `address` (empty: every interface), trying port ... port+4, and listens
    // with `backlog`. On success `port` holds the port bound. On failure a message has been shown.
    bool BindListen(int& port, int backlog, const std::string& address = {});
    // Accepts one connection into `out` (which must be closed): its descriptor, peer and kind.
    bool Accept(TcpSocket& out);
    // Waits up to linkTiming().acceptData for a connection, then Accept.
    bool AcceptWait(TcpSocket& out);
    // Connects to `host` (name or dotted address, under 46 characters) and `port`; the attempt
    // gives up after linkTiming().connect.
    bool Connect(const std::string& host, int port);
    // Shuts down both directions of a stream socket and closes it. Closed sockets are left alone.
    void Close();

    // Sends `length` bytes of `data`, enciphering them in place first when cipherMode is 0.
    // Returns the count sent, or -1 when nothing could be sent.
    int Send(char* data, int length);
    // Sends `text` followed by CR LF in one Send.
    int SendLine(std::string_view text);
    // One receive of at most `length` bytes; deciphers what arrived unless cipherMode is 2.
    // Returns the count received, 0 when the peer closed, -1 on error.
    int RecvSome(char* buffer, int length);

    // Line readers: read one byte at a time with RecvSome. CR LF ends the line (the CR is dropped,
    // a bare LF is data); the line also ends when size-1 bytes are stored or the peer closes.
    // The text is NUL-terminated and its length returned (an empty line gives 0).
    // ReadLine waits without a limit; -1 on a receive error.
    int ReadLine(char* buffer, int size);
    // Waits up to `wait` before each byte; on a time-out returns what it has; -1 on error.
    int ReadLineTimed(char* buffer, int size, std::chrono::milliseconds wait);
    // Waits up to `wait` before each byte (no limit when `wait` is not above 0). A wait that
    // expires sets `wait` to -1 ms and returns -1; a failed wait or receive returns -1.
    int ReadLineWait(char* buffer, int size, std::chrono::milliseconds& wait);

    // Sleeps linkTiming().blockReadStart, then receives until `length` bytes arrived, a wait of
    // `wait` runs out or the peer closes; deciphers all `length` bytes unless cipherMode is 2.
    // Returns the count received, or -1 on error.
    int RecvExact(char* buffer, int length, std::chrono::milliseconds wait);
    // Sleeps linkTiming().blockReadStart, then receives in pieces of at most 1024 bytes until
    // `length` bytes arrived, a wait of `wait` runs out (no limit when not above 0) or the peer
    // closes; with `progress`, posts the running total to the progress window after every piece.
    // Deciphers the whole `length` in place whatever cipherMode says. Returns the count received,
    // or -1 on error (then nothing is deciphered).
    int RecvBlock(char* buffer, int length, std::chrono::milliseconds wait, bool progress);
    // Enciphers `length` bytes in place whatever cipherMode says and sends them in pieces of at
    // most 1024 bytes; with `progress`, posts the running total after every piece but the first.
    // Returns the total sent, or the failing send's result.
    int SendBlock(char* data, int length, bool progress);

    // Waits up to `wait` until a byte (or the peer's close) can be read: 1 readable, 0 expired,
    // -1 error. A `wait` not above 0 waits without a limit.
    int WaitReadable(std::chrono::milliseconds wait) const;
    bool SetKeepAlive(int value);
    // Dotted IPv4 address of the local end, or "" when unknown.
    std::string LocalAddress() const;
    // Dotted IPv4 address of the peer filled in by Accept, or "".
    std::string PeerAddress() const;

    bool IsOpen() const { return handle_ >= 0; }
    int Handle() const { return handle_; }
    int Kind() const { return kind_; }
    const sockaddr_in& Peer() const { return peer_; }
    void SetOwnerWindow(HWND owner) { ownerWindow_ = owner; }
    HWND OwnerWindow() const { return ownerWindow_; }

private:
    int RecvLineByte(char* byte, const std::chrono::milliseconds* wait);
    int ReadLineBytes(char* buffer, int size, const std::chrono::milliseconds* wait, bool stopOnExpiry,
                      bool* expired);
    int SendAll(const char* data, int length);

    int handle_ = -1;
    int kind_ = kStream;
    sockaddr_in peer_{};
    HWND ownerWindow_ = nullptr;
};
