// Builds camera recordings record by record, for tests that need exact byte layouts.
#pragma once

#include "bytereader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

class RecordingFixture {
public:
    RecordingFixture()
    {
        storage::ByteWriter w;
        const auto ftyp = w.beginBox(storage::fourcc("ftyp"));
        w.u32(storage::fourcc("isom"));
        w.u32(0x200);
        w.u32(storage::fourcc("isom"));
        w.u32(storage::fourcc("iso2"));
        w.u32(storage::fourcc("avc1"));
        w.u32(storage::fourcc("mp41"));
        w.endBox(ftyp);
        w.endBox(w.beginBox(storage::fourcc("free")));
        w.u32(0); // media-data size: never written
        w.u32(storage::fourcc("mdat"));
        append(w.data());
    }

    // Each returns the record's offset. Sizes are whole records in bytes.
    std::uint32_t idr(int size) { return video(size, {0x65, 0xB8, 0x00}); }
    std::uint32_t p(int size) { return video(size, {0x41, 0xE0}); }
    std::uint32_t audio(int size)
    {
        const std::uint32_t at = pos();
        data.append(char(0x21));
        data.append(QByteArray(size - 1, char(0x11)));
        return at;
    }
    std::uint32_t sensor(bool withMarker = true)
    {
        const std::uint32_t at = pos();
        data.append("G$GPRMC,201530,A,3731.1234,N,12658.5678,E,10.0,90.0,151023,,,");
        if (withMarker) {
            data.append("ZIRPM");
            data.append("\x05\x85\xFF", 3);
            data.append(QByteArray(8, '\0'));
        }
        return at;
    }
    void raw(const QByteArray &bytes) { data.append(bytes); }
    void setMediaSize(std::uint32_t s)
    {
        for (int k = 0; k < 4; ++k)
            data[40 + k] = char(s >> (24 - 8 * k));
    }
    std::uint32_t pos() const { return std::uint32_t(data.size()); }

    bool save(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
    }

    QByteArray data;

private:
    std::uint32_t video(int size, std::initializer_list<std::uint8_t> head)
    {
        const std::uint32_t at = pos();
        storage::ByteWriter w;
        w.u32(std::uint32_t(size - 4));
        for (std::uint8_t b : head)
            w.u8(b);
        append(w.data());
        data.append(QByteArray(size - 4 - int(head.size()), char(0x11)));
        return at;
    }
    void append(const std::vector<std::uint8_t> &b) { data.append(reinterpret_cast<const char *>(b.data()), qsizetype(b.size())); }
};
