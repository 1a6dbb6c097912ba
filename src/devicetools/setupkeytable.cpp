#include "setupkeytable.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::array<SetupKeyDefault, 18> kCameraKeys{{
    {"BOARD_VERSION", 0}, {"LCD_BR_LV", 2},  {"LCD_OFF_DUR", 30}, {"SCREEN_SAVER_EN", 1}, {"LDWS_EN", 0},
    {"FCWS_EN", 0},       {"FVSA_EN", 0},    {"GSENSOR_LV", 1},   {"MOTION_LV", 1},       {"NV_EN", 1},
    {"DST_EN", 1},        {"GMT_ID", 23},    {"GUIDE_EN", 1},     {"MIC_EN", 1},          {"VOLUME_LV", 1},
    {"VOLT_CUT_ID", 1},   {"PARK_EN", 1},    {"PARK_LED_EN", 1},
}};

constexpr std::array<ScreenModeChoice, kScreenModeCount> kScreenModes{{
    {"Screen off after 30 seconds", 30, 0},
    {"Screen off after 3 minutes", 180, 0},
    {"Screen always on", -1, 0},
    {"Display clock after 30 seconds", 30, 1},
}};

constexpr std::array<const char *, kTimeZoneCount> kTimeZones{{
    "(GMT+0) Greenwich Mean Time: Lisbon, London",
    "(GMT+0) Casablanca, Dublin, Edinburgh",
    "(GMT+1) Belgrade, Bratislava, Budapest",
    "(GMT+1) Brussels, Copenhagen, Madrid, Paris",
    "(GMT+1) Amsterdam, Stockholm, Warsaw, Zagreb",
    "(GMT+1) Berlin, Bern, Prague, Rome, Vienna",
    "(GMT+1) West Central Africa",
    "(GMT+2) Helsinki, Kiev, Riga, Sofia, Tallinn",
    "(GMT+2) Cairo, Bucharest",
    "(GMT+2) Athens, Istanbul, Minsk, Vilnius",
    "(GMT+2) Harare, Jerusalem, Pretoria",
    "(GMT+3) Moscow, St. Petersburg, Volgograd",
    "(GMT+3) Baghdad, Kuwait, Nairobi, Riyadh",
    "(GMT+4) Abu Dhabi, Muscat",
    "(GMT+4) Baku, Tbilisi, Yerevan",
    "(GMT+5) Ekaterinburg",
    "(GMT+5) Islamabad, Karachi, Tashkent",
    "(GMT+6) Almaty, Astana, Novosibirsk",
    "(GMT+6) Dhaka, Sri Jayawardenepura",
    "(GMT+7) Bangkok, Hanoi, Jakarta, Krasnoyarsk",
    "(GMT+8) Beijing, Chongqing, Hong Kong SAR",
    "(GMT+8) Kuala Lumpur, Manila, Singapore",
    "(GMT+8) Irkutsk, Perth, Taipei, Ulaanbaatar",
    "(GMT+9) Seoul, Tokyo, Yakutsk",
    "(GMT+10) Canberra, Melbourne, Sydney",
    "(GMT+10) Brisbane, Guam, Vladivostok",
    "(GMT+11) New Caledonia, Solomon Islands",
    "(GMT+12) Fiji Islands, Kamchatka",
    "(GMT+12) Auckland, Wellington",
    "(GMT-12) International Date Line West",
    "(GMT-11) Midway Island, Samoa",
    "(GMT-10) Hawaii",
    "(GMT-9) Alaska",
    "(GMT-8) Pacific Time (US & Canada), Tijuana",
    "(GMT-7) Mountain Time (US & Canada)",
    "(GMT-7) Arizona, Chihuahua, La Paz, Mazatlan",
    "(GMT-6) Central Time (US & Canada)",
    "(GMT-6) Mexico City, Monterrey, Saskatchewan",
    "(GMT-6) Central America",
    "(GMT-5) Eastern Time (US and Canada)",
    "(GMT-5) Indiana (East)",
    "(GMT-5) Bogota, Lima, Quito",
    "(GMT-4) Atlantic Time (Canada)",
    "(GMT-4) Caracas, La Paz, Santiago",
    "(GMT-3) Brasilia, Greenland",
    "(GMT-3) Buenos Aires, Georgetown",
    "(GMT-2) Mid-Atlantic",
    "(GMT-1) Azores, Cape Verde Islands",
}};

// Separators between the tokens of a line; runs of them count as one.
constexpr const char *kSeparators = " =\r\n\t";

// C's atoi, saturated instead of overflowing.
int toInt(const std::string &text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

} // namespace

QString SetupKeyTable::pathForCard(const QString &cardRoot)
{
    return QDir(cardRoot).filePath(QStringLiteral("SETUP/setup.ini"));
}

void SetupKeyTable::Register(const std::string &key, int defaultValue)
{
    if (key.empty() || Find(key))
        return;
    table.push_back({key, std::to_string(defaultValue), std::string()});
}

void SetupKeyTable::RegisterCameraKeys()
{
    for (const SetupKeyDefault &k : kCameraKeys)
        Register(k.key, k.defaultValue);
}

std::optional<int> SetupKeyTable::Find(const std::string &key) const
{
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].key == key)
            return int(i);
    return std::nullopt;
}

bool SetupKeyTable::Load(const QString &path)
{
    File file(std::fopen(QFile::encodeName(path).constData(), "r"));
    if (!file)
        return false;
    // A longer line arrives in pieces, each taken as a line of its own.
    char piece[kPieceBytes + 1];
    while (std::fgets(piece, sizeof piece, file.get())) {
        char *save = nullptr;
        const char *key = strtok_r(piece, kSeparators, &save);
        if (!key)
            continue;
        const std::optional<int> index = Find(key);
        if (!index) {
            std::printf("INI ITEM <%s> is not registered! Ignore it.\n", key);
            continue;
        }
        if (const char *value = strtok_r(nullptr, kSeparators, &save))
            table[size_t(*index)].fileValue = value;
    }
    for (SetupKeyEntry &entry : table)
        entry.value = entry.fileValue;
    std::fflush(stdout);
    return true;
}

bool SetupKeyTable::Save(const QString &path) const
{
    File file(std::fopen(QFile::encodeName(path).constData(), "wb"));
    if (!file)
        return false;
    bool written = true;
    for (const SetupKeyEntry &entry : table) {
        // A value read from an overlong line is written whole: the line then runs past the
        // camera's 127 characters rather than losing part of the value.
        const std::string line = entry.key + "=" + entry.value;
        written &= std::fprintf(file.get(), "%s\r\n", line.c_str()) >= 0;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    written &= std::fflush(file.get()) == 0;
    return written;
}

std::optional<int> SetupKeyTable::GetInt(const std::string &key) const
{
    const std::optional<int> index = Find(key);
    if (!index)
        return std::nullopt;
    return toInt(table[size_t(*index)].value);
}

void SetupKeyTable::SetInt(int index, int value)
{
    if (index >= 0 && index < int(table.size()))
        table[size_t(index)].value = std::to_string(value);
}

void SetupKeyTable::SetText(int index, const std::string &text)
{
    if (index >= 0 && index < int(table.size()))
        table[size_t(index)].value = text;
}

const SetupKeyDefault *cameraSetupKeys(int *count)
{
    *count = int(kCameraKeys.size());
    return kCameraKeys.data();
}

const ScreenModeChoice &screenModeChoice(int index)
{
    return kScreenModes[size_t(std::clamp(index, 0, kScreenModeCount - 1))];
}

int screenModeFor(int lcdOffDuration, int screenSaverEnable)
{
    if (screenSaverEnable != 0)
        return 3;
    if (lcdOffDuration == 180)
        return 1;
    if (lcdOffDuration == -1)
        return 2;
    return 0;
}

const char *timeZoneText(int index)
{
    return index >= 0 && index < kTimeZoneCount ? kTimeZones[size_t(index)] : "";
}
