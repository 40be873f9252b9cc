#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// The player control's automation failure: a 32-bit result code plus what the control said about it.
// what() holds the message in UTF-8, built by messageFor().
class EOleException : public std::runtime_error {
public:
    // Result codes the control raises.
    static constexpr std::uint32_t kInvalidArgument = 0x80070057u;
    static constexpr std::uint32_t kFail = 0x80004005u;
    static constexpr std::uint32_t kNotImplemented = 0x80004001u;
    static constexpr std::uint32_t kNoInterface = 0x80004002u;
    static constexpr std::uint32_t kClassNotRegistered = 0x80040154u;

    EOleException(std::uint32_t code, const QString &description, const QString &source = QString(),
                  const QString &helpFile = QString(), int helpContext = 0);

    std::uint32_t code() const { return m_code; }
    QString source() const { return m_source; }
    QString helpFile() const { return m_helpFile; }
    int helpContext() const { return m_helpContext; }

    // The message, by preference: the description, else the system's text for the code (each without
    // trailing blanks, control characters and full stops), else "Erreur OLE" and the code in hex.
    static QString messageFor(std::uint32_t code, const QString &description, const QString &systemText);
    // The system's text for the result codes this program can meet; empty for the others.
    static QString systemText(std::uint32_t code);
    static QString trimTrailing(const QString &text);

private:
    std::uint32_t m_code;
    QString m_source;
    QString m_helpFile;
    int m_helpContext;
};
