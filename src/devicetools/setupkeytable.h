// The camera's settings file SETUP/setup.ini: an ordered table of known keys, read from and
// written back in the camera's own line format ("KEY=VALUE" + CR LF, table order).
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

struct SetupKeyEntry {
    std::string key;       // compared byte for byte
    std::string fileValue; // the default's text, replaced by what the file says
    std::string value;     // the current value: empty until a file was read, then edited
};

class SetupKeyTable
{
public:
    // Lines are read in pieces of at most this many bytes (a 128-byte buffer).
    static constexpr int kPieceBytes = 127;

    // The card's settings file path: CARDROOT/SETUP/setup.ini.
    static QString pathForCard(const QString &cardRoot);

    // Appends (key, default); an empty or already registered key is ignored.
    void Register(const std::string &key, int defaultValue);
    // The eighteen keys of the camera, in file order, with their defaults.
    void RegisterCameraKeys();
    // Index of the key, or nullopt.
    std::optional<int> Find(const std::string &key) const;

    // False when the file cannot be opened; nothing changes then. Unknown keys are reported
    // on standard output and dropped. Afterwards every current value is the file value.
    bool Load(const QString &path);
    // Writes every entry in table order (and echoes each line to standard output); false
    // when the file cannot be created.
    bool Save(const QString &path) const;

    // The current value as C's atoi reads it; nullopt when the key is not registered.
    std::optional<int> GetInt(const std::string &key) const;
    void SetInt(int index, int value);
    void SetText(int index, const std::string &text);

    const std::vector<SetupKeyEntry> &entries() const { return table; }

private:
    std::vector<SetupKeyEntry> table;
};

// One entry of the camera's key table.
struct SetupKeyDefault {
    const char *key;
    int defaultValue;
};

// The screen mode is held by two keys together.
struct ScreenModeChoice {
    const char *text;
    int lcdOffDuration;    // LCD_OFF_DUR written for the choice (s; -1 never)
    int screenSaverEnable; // SCREEN_SAVER_EN written for the choice
};

constexpr int kScreenModeCount = 4;
constexpr int kTimeZoneCount = 48;
constexpr int kTimeZoneTextWidth = 44; // the list shows each text padded with blanks to this

const SetupKeyDefault *cameraSetupKeys(int *count);
const ScreenModeChoice &screenModeChoice(int index);
// The choice the two values read as: 0 30 s, 1 3 min, 2 always on, 3 clock.
int screenModeFor(int lcdOffDuration, int screenSaverEnable);
// Time-zone text of GMT_ID index (0..47), without the padding blanks; empty when out of range.
const char *timeZoneText(int index);
