// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What crosses the simulated controller's line: request lines in, replies out, and the faults
// that bend the replies. No I/O and no device state here.

#include "sim/sim_options.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace zel {

// The controller keeps its own codec and limits, apart from the link's, so that the two sides
// of every end-to-end test check each other instead of sharing a fault.

// The largest block a request can carry: the controller's 134-byte line buffer holds a spare
// byte, the code and 132 bytes.
constexpr int MaxBlockBytes = 132;
// The longest request the protocol can carry: a code and the largest block as hex digits.
constexpr int MaxRequestLength = 2 + 2 * MaxBlockBytes;
// The byte that acknowledges a Set; any byte would do.
constexpr char AckByte = 'K';

// One request line: its code and the bytes that followed it.
struct Request {
    uint8_t code = 0;
    std::vector<uint8_t> payload;
    QString error; // not empty: the line is no request at all
};

// A line without its terminator: two hex digits of code, then an even number of hex digits.
Request ParseRequest(const QByteArray& line);

// `count` bytes from hex digit pairs at text[offset..] (either case); false on a bad or
// missing pair.
bool DecodeHex(const QByteArray& text, int offset, int count, uint8_t* out);
// Two upper-case hex digits per byte, high digit first.
QByteArray EncodeHex(const uint8_t* bytes, int count);

// Cuts a byte stream into request lines. LF, CR and CR LF all end a line (a hand-typed line
// in a terminal ends with CR). A line longer than any request is dropped as it grows, so no
// input can make the assembler hold more than MaxRequestLength bytes.
class LineAssembler {
public:
    struct Line {
        QByteArray text;        // without its terminator
        qint64 droppedSize = 0; // over-long: the size of the dropped line, text empty
    };

    // Feeds bytes; calls take(Line) for each line completed by them.
    template <typename Take> void Feed(const char* data, int size, Take take) {
        for (int i = 0; i < size; ++i) {
            const char c = data[i];
            const bool lfAfterCr = afterCr_ && c == '\n';
            afterCr_ = c == '\r';
            if (lfAfterCr)
                continue;
            if (c == '\n' || c == '\r') {
                take(Line{dropped_ > 0 ? QByteArray() : current_, dropped_});
                current_.clear();
                dropped_ = 0;
            } else if (dropped_ > 0) {
                ++dropped_;
            } else if (current_.size() == MaxRequestLength) {
                dropped_ = current_.size() + 1;
                current_.clear();
            } else {
                current_.append(c);
            }
        }
    }

private:
    QByteArray current_;
    qint64 dropped_ = 0;
    bool afterCr_ = false;
};

// What the controller means to answer to one request.
struct SimAnswer {
    enum class Kind { None, Block, Ack };
    Kind kind = Kind::None;
    uint8_t code = 0;           // echoed by a Block
    std::vector<uint8_t> block; // the Block's bytes
    QString bad;                // None: why the line was no valid request
    QString skip;               // None: why a valid request gets no answer
};

SimAnswer BlockAnswer(uint8_t code, const void* block, int size);
SimAnswer AckAnswer();
SimAnswer BadAnswer(const QString& why);
SimAnswer SkipAnswer(const QString& why);

// The faithful reply: echo, hex digits and terminator for a Block; one byte for an Ack.
QByteArray FormatAnswer(const SimAnswer& answer, bool lowercase, bool cr);

// Applies the fault options to each reply, in the order the requests arrived.
class ReplyShaper {
public:
    ReplyShaper(const SimOptions& options, uint32_t seed);

    struct Shaped {
        QByteArray bytes; // empty: nothing is sent
        QString skip;     // why nothing is sent, when a fault swallowed the reply
    };
    // lineNumber counts every request line received, 1 for the first.
    Shaped Shape(const SimAnswer& answer, qint64 lineNumber);

private:
    SimOptions options_;
    std::mt19937 random_;
    qint64 acks_ = 0;
    std::map<uint8_t, qint64> blockReplies_; // by code, for --garble
};

// A line for the wire log: printable ASCII as it is, everything else escaped (\n, \r, \xNN),
// at most `limit` bytes shown.
QString EscapeForLog(const QByteArray& bytes, int limit = 300);

} // namespace zel
