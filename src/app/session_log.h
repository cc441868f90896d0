// session_log.h: the station's history of links in "ZOLKSAT.log" (connect attempts, incoming
// calls, established and ended links with their byte counts, speeds and duration, tuning requests
// and host-port failures). Holds the whole text in memory; every line also reaches the file at
// once, so nothing is lost when the program ends or crashes, and a flush keeps the newest
// 25000 characters. The session and the host interface call the event appends as things happen;
// the counters in the summary line are the session's. At debug level the session's decisions go
// to a file of their own beside it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "session/session_ports.h"

namespace zolk {

inline constexpr std::string_view kSessionLogFileName = "ZOLKSAT.log";
inline constexpr std::string_view kSessionDebugFileName = "ZOLKSAT-debug.log";
inline constexpr std::size_t kSessionLogKeptChars = 25000;

// "125:07": whole minutes (any number of digits, at least two) and seconds.
std::string formatLinkDuration(std::chrono::seconds duration);
// "2026-12-10 14:37:48" in local time: the date and time every line begins with.
std::string formatLogTime(std::chrono::system_clock::time_point time);

class SessionLog final : public SessionLogPort {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    // Called after every flush with the Log menu's new caption ("Log*").
    using CaptionChanged = std::function<void(std::string_view caption)>;

    explicit SessionLog(std::filesystem::path file, Clock clock = std::chrono::system_clock::now);

    // Reads the file if it exists; a missing file leaves the text empty.
    void load();
    const std::string& text() const { return m_text; }
    const std::filesystem::path& file() const { return m_file; }
    void onCaptionChanged(CaptionChanged handler) { m_captionChanged = std::move(handler); }
    // Each line is also written here (standard error when headless); nullptr for none.
    void echoTo(std::FILE* stream) { m_echo = stream; }

    // The events. Texts are the lines' contents after the date, time and four blanks.
    void connecting(std::string_view destinationCall, int attempt, int retryLimit) override;
    void incomingConnection() override;
    void incomingFailed() override;
    void connectedIncoming(std::string_view callerCall) override;
    void connectedOutgoing(std::string_view destinationCall) override;
    void qrtReceived() override;
    // Kind 1 rough, 2 fine; any kind flushes.
    void tuningRequest(int kind) override;
    // A host port closed or failed during a link, the text as the host interface words it.
    void hostPortFailure(std::string_view text);
    void disconnected(const LinkSummary& summary) override;

    // Debug level: every decision of the session becomes a dated line of "ZOLKSAT-debug.log" in
    // the log's folder (appended to, never cut) and of the echo stream. The history above stays
    // as it is. Off until switched on; false when the file cannot be opened (it stays off then).
    bool setDebug(bool on);
    bool debugging() const { return m_debugFile.is_open(); }
    void debug(std::string_view text) override;

    // Keeps the newest 25000 characters and rewrites the file; the caption becomes "Log*".
    void flush();
    // Shutdown: a flush when lines came since the last one, else nothing (the caption stays).
    void flushIfChanged();

private:
    void addLine(std::string_view text);
    void addEmptyLine();
    // The line without its end to the echo stream, if there is one.
    void echo(std::string_view line);
    // Writes the file as text followed by one line end.
    void rewrite();
    void appendToFile(std::string_view lines);

    std::filesystem::path m_file;
    Clock m_clock;
    CaptionChanged m_captionChanged;
    std::FILE* m_echo = nullptr;
    std::ofstream m_debugFile;
    std::string m_text;
    // Whether the file on disk is text + CRLF, so that appends can go in before its last line end.
    bool m_fileInStep = false;
    bool m_unflushed = false;  // lines since the last flush
    std::chrono::system_clock::time_point m_linkStart{};
};

}  // namespace zolk
