// Drive discovery: which mounted file systems can be the camera's card, whether the
// card's disk carries the KRFS partition, and the list of sources the user picks from.
//
// A "drive" is a mounted file system (from the mount table) whose disk is removable (or
// an MMC card). Its "physical drive" is the whole-disk device node. The disk that holds
// "/" is never offered. /proc, /sys and /dev are read under MERIDO_SYSROOT when it is
// set, so tests run on fake trees whose disk nodes are image files; mount points are
// used as the mount table states them.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

enum DriveKind : int {
    DriveRemovable = 0, // files read through the operating system
    DriveKrfs = 1,      // the disk carries the KRFS partition
    DrivePcFolder = 2,  // a folder on the PC chosen by the user
};

struct DriveEntry {
    QString mountPoint;       // the card's mount point (stands for the drive letter); empty for the PC folder
    QString label;            // mount point + "/", + " (KRFS)" on a KRFS disk; the PC-folder label
    std::string physicalPath; // whole-disk node such as /dev/sdb (under the sysroot); empty for the PC folder
    int kind = DriveRemovable;
    uint32_t capacityKiB = 0; // disk size in KiB, filled only when probed with capacity
};

// The prefix under which /proc, /sys and /dev are read: MERIDO_SYSROOT, or empty.
QString driveSysroot();

// A number for the disk behind a mount point: -1 when it is not a mounted block device,
// 0 for the disk that holds "/", otherwise the disk's device number (major << 20 | minor,
// always at least 1).
int diskNumberOf(const QString &mountPoint);

// Decides whether the drive at entry.mountPoint is offered: not on the system disk, its
// disk node opens for reading and writing, and fills physicalPath, kind and the
// " (KRFS)" suffix of label. With readCapacity (storage window) also capacityKiB, and a
// kind-0 drive whose free-space query succeeds with a block size of 0 is refused.
bool probeDrive(DriveEntry &entry, bool readCapacity);

// Rebuilds `drives` with the removable drives whose free-space query succeeds, in mount
// point order, then the PC-folder entry; returns the number of entries (at least 1).
int enumerateDrives(const QString &pcFolderLabel, std::vector<DriveEntry> &drives);

// The storage window's variant: no free-space test, probed with capacity, no PC folder.
int enumerateStorageDrives(std::vector<DriveEntry> &drives);

// The text a drop-down list shows for an entry: its label with "(KRFS)" removed.
QString driveListText(const DriveEntry &entry);
