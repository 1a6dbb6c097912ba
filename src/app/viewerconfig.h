// The viewer's configuration file "viewerconfig.cfg": user-interface language, the camera's
// recording folders, accepted extensions, four switches and the localized texts.
// Loaded once at start-up, read-only afterwards; never written back.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// djb2 over the name's bytes taken as signed 8-bit values, modulo 2^32.
uint32_t djb2Hash(const char *name);

// Maps order and match names by (hash, variant) only; the name itself is not compared.
using ConfigKey = std::pair<uint32_t, int>;

enum FolderType : int { FolderNOR = 0, FolderEVT = 1, FolderMOT = 2, FolderUSR = 3, FolderPHOTO = 4 };

struct FolderEntry {
    int type = 0;          // FolderType
    QString path;          // converted from UTF-8
    QByteArray pathNarrow; // the element text's bytes as read
    int krfsp = 0;         // 0..99
};

struct LocalizedString {
    QByteArray id; // as written
    ConfigKey key;
    QString text;  // "\n" sequences already turned into line feeds
};

class ViewerConfig
{
public:
    enum Flag : uint32_t {
        FlagRemoval = 1u << 0,  // recurse into sub-folders of a removable drive
        FlagDesktop = 1u << 1,  // recurse into sub-folders of a PC folder
        FlagFileTime = 1u << 2, // name captures after the recording's creation time
        FlagAddPos = 1u << 3,   // add the playback position to that time
    };
    static constexpr int kNoLanguage = 6;

    // The process-wide object, created on first use under a lock and never freed.
    static ViewerConfig *Get();

    ViewerConfig() = default;

    // True only when the file has both a configs and an lstrings block. Every problem is
    // reported on standard output; nothing is applied from a file that fails.
    bool Load(const QString &fileName);

    int LanguageIndex(const char *name, int mode) const;
    int FolderCount() const { return int(folders.size()); }
    bool GetFolder(int i, FolderEntry &out) const;
    int ExtensionCount() const { return int(extensions.size()); }
    bool GetExtension(int i, QString &out) const;
    // Text of id in the current language; `text` is left unchanged when there is none.
    bool LookupString(const char *id, QString &text) const;
    uint32_t Flags() const { return flags; }
    int Language() const { return language; }
    // Every stored text in key order (diagnostics and tooling).
    const std::map<ConfigKey, LocalizedString> &Strings() const { return strings; }

private:
    class Loader;

    int language = 0;
    std::vector<QString> extensions;
    std::vector<FolderEntry> folders;
    std::map<ConfigKey, int> languageNames;
    std::map<ConfigKey, LocalizedString> strings;
    uint32_t flags = 0;
};
