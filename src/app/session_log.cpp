#include "app/session_log.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zolk {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string twoDigits(long long value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::string formatLinkDuration(std::chrono::seconds duration) {
    const long long total = duration.count() < 0 ? 0 : duration.count();
    return twoDigits(total / 60) + ":" + twoDigits(total % 60);
}

std::string formatLogTime(std::chrono::system_clock::time_point time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

SessionLog::SessionLog(std::filesystem::path file, Clock clock)
    : m_file(std::move(file)), m_clock(std::move(clock)) {}

void SessionLog::load() {
    m_text.clear();
    m_fileInStep = false;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) return;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_text += line;
        m_text += kLineEnd;
    }
    if (m_text.size() >= kLineEnd.size()) m_text.resize(m_text.size() - kLineEnd.size());
}

void SessionLog::addLine(std::string_view text) {
    std::string line =
        formatLogTime(m_clock()) + "    " + std::string(text) + std::string(kLineEnd);
    m_text += line;
    m_unflushed = true;
    echo(std::string_view(line).substr(0, line.size() - kLineEnd.size()));
    appendToFile(line);
}

void SessionLog::echo(std::string_view line) {
    if (m_echo == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), m_echo);
    std::fputc('\n', m_echo);
    std::fflush(m_echo);
}

bool SessionLog::setDebug(bool on) {
    m_debugFile.close();
    if (on) m_debugFile.open(m_file.parent_path() / kSessionDebugFileName, std::ios::binary | std::ios::app);
    return debugging() == on;
}

void SessionLog::debug(std::string_view text) {
    if (!debugging()) return;
    const std::string line = formatLogTime(m_clock()) + "    " + std::string(text);
    m_debugFile << line << kLineEnd;
    m_debugFile.flush();
    echo(line);
}

void SessionLog::addEmptyLine() {
    m_text += kLineEnd;
    m_unflushed = true;
    appendToFile(kLineEnd);
}

// The file is the text plus one line end; a new line goes in before that last line end.
void SessionLog::appendToFile(std::string_view lines) {
    std::error_code error;
    const auto size = std::filesystem::file_size(m_file, error);
    const std::size_t expected = m_text.size() - lines.size() + kLineEnd.size();
    if (!m_fileInStep || error || size != expected) {
        rewrite();
        return;
    }
    std::fstream out(m_file, std::ios::binary | std::ios::in | std::ios::out);
    if (!out) return;
    out.seekp(static_cast<std::streamoff>(size - kLineEnd.size()));
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    out.write(kLineEnd.data(), static_cast<std::streamsize>(kLineEnd.size()));
    m_fileInStep = static_cast<bool>(out.flush());
}

void SessionLog::rewrite() {
    std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
    out.write(m_text.data(), static_cast<std::streamsize>(m_text.size()));
    out.write(kLineEnd.data(), static_cast<std::streamsize>(kLineEnd.size()));
    m_fileInStep = static_cast<bool>(out.flush());
}

void SessionLog::flush() {
    if (m_text.size() > kSessionLogKeptChars) m_text.erase(0, m_text.size() - kSessionLogKeptChars);
    rewrite();
    m_unflushed = false;
    if (m_captionChanged) m_captionChanged("Log*");
}

void SessionLog::flushIfChanged() {
    if (m_unflushed) flush();
}

void SessionLog::connecting(std::string_view destinationCall, int attempt, int retryLimit) {
    if (attempt == 1) m_linkStart = m_clock();
    addLine("Connecting to " + std::string(destinationCall) + "... " + std::to_string(attempt) +
            "/" + std::to_string(retryLimit));
}

void SessionLog::incomingConnection() { addLine("Incoming connection..."); }

void SessionLog::incomingFailed() {
    addLine("Incoming Connection failed");
    addEmptyLine();
    flush();
}

void SessionLog::connectedIncoming(std::string_view callerCall) {
    m_linkStart = m_clock();
    addLine(std::string(callerCall) + " connected");
}

void SessionLog::connectedOutgoing(std::string_view destinationCall) {
    m_linkStart = m_clock();
    addLine("Connected to " + std::string(destinationCall));
}

void SessionLog::qrtReceived() { addLine("QRT Received"); }

void SessionLog::tuningRequest(int kind) {
    if (kind == 1) addLine("Rough Tuning request");
    if (kind == 2) addLine("Fine Tuning request");
    flush();
}

void SessionLog::hostPortFailure(std::string_view text) { addLine(text); }

void SessionLog::disconnected(const LinkSummary& s) {
    const auto duration = std::chrono::duration_cast<std::chrono::seconds>(m_clock() - m_linkStart);
    addLine(std::string(s.timedOut ? "Disconnected (Time Out)" : "Disconnected") + "      TX: " +
            std::to_string(s.bytesSent) + " Bytes (Max: " + std::to_string(s.maxSendBps) +
            " bps)   RX: " + std::to_string(s.bytesReceived) +
            " Bytes (Max: " + std::to_string(s.maxReceiveBps) + " bps)" +
            "   Session Time: " + formatLinkDuration(duration));
    addEmptyLine();
    flush();
}

}  // namespace zolk
