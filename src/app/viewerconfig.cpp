#include "viewerconfig.h"

#include <QFile>

#include <tinyxml.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct LanguageRow {
    const char *name;
    int mode;
};

// Index = language number. "chinese" exists in two variants told apart by the mode.
constexpr std::array<LanguageRow, 6> kLanguages{{
    {"english", 0}, {"korean", 0}, {"japanese", 0}, {"chinese", 0}, {"chinese", 1}, {"russian", 0},
}};

struct FolderTypeName {
    const char *name;
    int type;
};

constexpr std::array<FolderTypeName, 5> kFolderTypes{{
    {"NOR", FolderNOR}, {"EVT", FolderEVT}, {"MOT", FolderMOT}, {"USR", FolderUSR}, {"PHOTO", FolderPHOTO},
}};

// The type attribute is handled in a 16-byte buffer: 15 characters at most.
constexpr size_t kTypeBufferSize = 16;

// The configuration is tiny; anything far larger is not one, and TinyXML parses
// recursively, so a pathologically nested document is refused before it is parsed.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
constexpr int kMaxNesting = 256;

// Decimal integer as C's atoi reads it (leading blanks, sign, digits; 0 when none),
// saturated instead of overflowing.
int parseInt(const char *text)
{
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

// "true", "yes", "1" / "false", "no", "0" in any letter case; anything else is unknown.
bool parseBool(const char *text, bool &value)
{
    static constexpr std::array<const char *, 3> kTrue{"true", "yes", "1"};
    static constexpr std::array<const char *, 3> kFalse{"false", "no", "0"};
    for (const char *t : kTrue)
        if (!strcasecmp(text, t))
            return value = true, true;
    for (const char *f : kFalse)
        if (!strcasecmp(text, f))
            return value = false, true;
    return false;
}

// Deepest element nesting of an XML text, by a cheap scan that skips comments, CDATA,
// declarations and processing instructions. Used only to refuse documents TinyXML's
// recursive descent could not survive.
int nestingDepth(const QByteArray &xml)
{
    int depth = 0;
    int deepest = 0;
    const char *p = xml.constData();
    const char *end = p + xml.size();
    auto skipTo = [&](const char *marker) {
        const char *found = static_cast<const char *>(memmem(p, size_t(end - p), marker, std::strlen(marker)));
        p = found ? found + std::strlen(marker) : end;
    };
    while (p < end) {
        if (*p != '<') {
            ++p;
            continue;
        }
        if (end - p >= 4 && !std::memcmp(p, "<!--", 4)) {
            skipTo("-->");
        } else if (end - p >= 9 && !std::memcmp(p, "<![CDATA[", 9)) {
            skipTo("]]>");
        } else if (end - p >= 2 && (p[1] == '!' || p[1] == '?')) {
            skipTo(">");
        } else if (end - p >= 2 && p[1] == '/') {
            --depth;
            skipTo(">");
        } else {
            const char *close = static_cast<const char *>(std::memchr(p, '>', size_t(end - p)));
            if (!close)
                break;
            if (close[-1] != '/')
                deepest = std::max(deepest, ++depth);
            p = close + 1;
        }
    }
    return deepest;
}

QByteArray replaceNewlineEscapes(const char *text)
{
    QByteArray bytes(text);
    bytes.replace("\\n", "\n");
    return bytes;
}

} // namespace

uint32_t djb2Hash(const char *name)
{
    uint32_t hash = 5381;
    for (const char *p = name; *p; ++p)
        hash = hash * 33u + uint32_t(int32_t(static_cast<signed char>(*p)));
    return hash;
}

ViewerConfig *ViewerConfig::Get()
{
    static std::mutex creationLock;
    static ViewerConfig *instance = nullptr;
    std::lock_guard lock(creationLock);
    if (!instance)
        instance = new ViewerConfig;
    return instance;
}

int ViewerConfig::LanguageIndex(const char *name, int mode) const
{
    const auto it = languageNames.find({djb2Hash(name), mode});
    return it == languageNames.end() ? kNoLanguage : it->second;
}

bool ViewerConfig::GetFolder(int i, FolderEntry &out) const
{
    if (i < 0 || i >= FolderCount())
        return false;
    out = folders[size_t(i)];
    return true;
}

bool ViewerConfig::GetExtension(int i, QString &out) const
{
    if (i < 0 || i >= ExtensionCount())
        return false;
    out = extensions[size_t(i)];
    return true;
}

bool ViewerConfig::LookupString(const char *id, QString &text) const
{
    const auto it = strings.find({djb2Hash(id), language});
    if (it == strings.end())
        return false;
    text = it->second.text;
    return true;
}

class ViewerConfig::Loader
{
public:
    explicit Loader(ViewerConfig &config) : config(config) {}

    void applyConfigs(const TiXmlElement *configs)
    {
        applyLanguage(configs->FirstChildElement("language"));
        if (const TiXmlElement *dirs = configs->FirstChildElement("dirs"))
            applyFolders(dirs);
        if (const TiXmlElement *exts = configs->FirstChildElement("extensions"))
            applyExtensions(exts);
        applySwitches(configs->FirstChildElement("recursive"), "removal", FlagRemoval, "desktop", FlagDesktop);
        applySwitches(configs->FirstChildElement("capture"), "filetime", FlagFileTime, "addpos", FlagAddPos);
    }

    void applyStrings(const TiXmlElement *lstrings)
    {
        // The first element named lstring, then every element after it whatever its name.
        for (const TiXmlElement *item = lstrings->FirstChildElement("lstring"); item;
             item = item->NextSiblingElement()) {
            const char *id = item->Attribute("id");
            if (!id)
                continue;
            int mode = 0; // a language child without "mode" takes the previous child's
            for (const TiXmlElement *lang = item->FirstChildElement("language"); lang;
                 lang = lang->NextSiblingElement("language")) {
                const char *type = lang->Attribute("type");
                if (const char *modeText = lang->Attribute("mode"))
                    mode = parseInt(modeText);
                const char *text = lang->GetText();
                if (!type || !text)
                    continue;
                const ConfigKey key{djb2Hash(id), config.LanguageIndex(type, mode)};
                const QString value = QString::fromUtf8(replaceNewlineEscapes(text));
                const auto [it, inserted] = config.strings.try_emplace(key, LocalizedString{id, key, value});
                if (!inserted)
                    std::printf("Duplicated LSID(%s) found, ignore it.\n", it->second.text.toUtf8().constData());
            }
        }
    }

private:
    void applyLanguage(const TiXmlElement *element)
    {
        if (!element || !element->GetText())
            return;
        const char *modeText = element->Attribute("mode");
        const int index = config.LanguageIndex(element->GetText(), modeText ? parseInt(modeText) : 0);
        if (index != kNoLanguage)
            config.language = index;
    }

    void applyFolders(const TiXmlElement *dirs)
    {
        int krfsp = 0; // a dir without "krfsp" takes the previous dir's value
        for (const TiXmlElement *dir = dirs->FirstChildElement("dir"); dir; dir = dir->NextSiblingElement("dir")) {
            const char *typeText = dir->Attribute("type");
            if (const char *krfspText = dir->Attribute("krfsp"))
                krfsp = parseInt(krfspText);
            const char *path = dir->GetText();
            if (!path || !typeText || std::strlen(typeText) >= kTypeBufferSize)
                continue;
            const QByteArray upper = QByteArray(typeText).toUpper();
            int type = -1;
            for (const FolderTypeName &t : kFolderTypes)
                if (upper == t.name)
                    type = t.type;
            if (type < 0)
                continue;
            const QByteArray narrow(path);
            const bool duplicate = std::any_of(config.folders.begin(), config.folders.end(), [&](const FolderEntry &f) {
                return f.pathNarrow == narrow || f.type == type;
            });
            if (duplicate)
                continue;
            config.folders.push_back({type, QString::fromUtf8(narrow), narrow, krfsp >= 0 && krfsp <= 99 ? krfsp : 0});
        }
    }

    void applyExtensions(const TiXmlElement *exts)
    {
        for (const TiXmlElement *ext = exts->FirstChildElement("extension"); ext;
             ext = ext->NextSiblingElement("extension")) {
            if (!ext->GetText())
                continue;
            const QString value = QString::fromUtf8(ext->GetText());
            if (std::find(config.extensions.begin(), config.extensions.end(), value) == config.extensions.end())
                config.extensions.push_back(value);
        }
    }

    void applySwitches(const TiXmlElement *element, const char *first, Flag firstBit, const char *second, Flag secondBit)
    {
        if (!element)
            return;
        bool value = false;
        if (const char *text = element->Attribute(first); text && parseBool(text, value) && value)
            config.flags |= firstBit;
        if (const char *text = element->Attribute(second); text && parseBool(text, value) && value)
            config.flags |= secondBit;
    }

    ViewerConfig &config;
};

bool ViewerConfig::Load(const QString &fileName)
{
    for (size_t i = 0; i < kLanguages.size(); ++i)
        languageNames.try_emplace({djb2Hash(kLanguages[i].name), kLanguages[i].mode}, int(i));

    // The structural reports carry the file's name and the line of the document where the
    // problem lies (0 when the file could not be read at all).
    const QByteArray name = QFile::encodeName(fileName);
    auto report = [&](int line, const char *what) { std::printf("%s(line:%d) %s\n", name.constData(), line, what); };

    QFile file(fileName);
    QByteArray xml;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxFileSize)
        xml = file.readAll();
    TiXmlDocument document;
    if (xml.isEmpty() || nestingDepth(xml) > kMaxNesting) {
        report(0, "Can not configuration file");
        return false;
    }
    document.Parse(xml.constData(), nullptr, TIXML_ENCODING_UTF8);
    if (document.Error()) {
        report(document.ErrorRow(), "Can not configuration file");
        return false;
    }
    const TiXmlElement *root = document.FirstChildElement();
    if (!root) {
        report(1, "xml document has no root element");
        return false;
    }
    const TiXmlElement *configs = root->FirstChildElement("configs");
    if (!configs) {
        report(root->Row(), "xml document has no configs element");
        return false;
    }
    const TiXmlElement *lstrings = root->FirstChildElement("lstrings");
    if (!lstrings) {
        report(root->Row(), "xml document has no lstrings element");
        return false;
    }
    Loader loader(*this);
    loader.applyConfigs(configs);
    loader.applyStrings(lstrings);
    std::fflush(stdout);
    return true;
}
