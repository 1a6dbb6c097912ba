/* The card partition library: reads the camera's own partition (KRFS) on a whole-disk
 * device node or a disk image file. The on-disk format is described in
 * docs/krfs-format.md. Every call returns a failure for a corrupt or truncated disk;
 * nothing read from the disk is trusted before it has been checked.
 *
 * Paths are narrow (bytes), integers in result buffers are little-endian. Not thread
 * safe: one thread at a time may use one device block. */
#ifndef MERIDO_KRFS_H
#define MERIDO_KRFS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    QZ_KRFS_DEVICE_BLOCK_SIZE = 161,   /* bytes the caller allocates, zeroed, per device */
    QZ_KRFS_OPEN_MODE = 130,           /* the mode the viewer passes to QZ_KrFS_Device_Open */
    QZ_KRFS_MASTER_INFO_SIZE = 16,     /* bytes of the QZ_KrFS_Get_Master_Device_Info result */
    QZ_KRFS_DIR_INFO_SIZE = 80,        /* bytes of the QZ_KrFS_Get_Dir_Info result */
    QZ_KRFS_LIST_CAPACITY = 30,        /* records per QZ_KrFS_Get_FileList call */
    QZ_KRFS_LIST_RECORD_SIZE = 128,    /* bytes per list record */
    QZ_KRFS_LIST_BUFFER_SIZE = 3845,   /* 4-byte capacity + 30 records + 1 */
    QZ_KRFS_LIST_NAME_SIZE = 98,       /* name field of a list record, zero terminated */
    QZ_KRFS_READ_BLOCK = 0x500000,     /* 5 MiB, the read size the viewer uses */
    QZ_KRFS_PATH_MAX = 132             /* "/FOLDER/NAME" including the terminator */
};

/* Library start and stop: counted, so nested pairs are harmless. The other calls work
 * without them; they exist for callers that pair them with their own lifetime. */
int QZ_KrFS_Start(void);
int QZ_KrFS_Stop(void);

/* Non-zero when the disk at `physicalPath` carries a valid KRFS partition. */
int QZ_KrFS_Check_KrFS_partition(const char *physicalPath);

/* Fills 16 bytes: u32 layout version (1), u32 sector size (512), u32 first sector of the
 * KRFS partition (0 when the disk has none), u32 disk size in 512-byte sectors (clamped
 * to 0xFFFFFFFF). Works on any disk, with or without the partition. 0 on success. */
int QZ_KrFS_Get_Master_Device_Info(const char *physicalPath, unsigned char *result);

/* Opens the partition read-only into the caller's zeroed device block of
 * QZ_KRFS_DEVICE_BLOCK_SIZE bytes. 0: open. Anything else: failure, the block stays
 * unused and the caller frees it. `mode` is accepted as the viewer passes it (130). */
int QZ_KrFS_Device_Open(const char *physicalPath, int mode, void *device);
/* Closes the device and its open files; the caller then frees the block. */
int QZ_KrFS_Device_Close(void *device);

/* Totals of one folder: *usedBytes = sum of the file sizes, *allocatedBytes = bytes of
 * the blocks reserved for them. `result` (80 bytes): u32 file count, u32 folder index,
 * u64 used bytes, u64 allocated bytes, 56-byte zero-terminated folder name. 0: success. */
int QZ_KrFS_Get_Dir_Info(void *device, const char *folder, unsigned char *result, uint64_t *usedBytes,
                         uint64_t *allocatedBytes);

/* Lists the files of `folder` from the 1-based *position on (creation order) into the
 * list buffer: u32 capacity at offset 0 (0 or above 30 means 30; written back), then
 * records of 128 bytes from offset 4 (name at 0, u32 key at 98, u32 size at 102, i32
 * time in seconds since 1970 UTC at 106). Advances *position past the records written
 * and returns their number; 0 at the end of the folder, negative on failure. */
int QZ_KrFS_Get_FileList(void *device, const char *folder, int *position, unsigned char *list, int flags);

/* Opens "/FOLDER/NAME" for reading; `key` is the one the listing reported and must name
 * the same file. Returns a handle of 1 or more, or a negative value on failure. */
int QZ_KrFS_File_Open(void *device, const char *path, const char *mode, int reserved1, int reserved2,
                      uint32_t key);
/* Reads up to `size` bytes at the file's current position. Returns the number of bytes
 * read, 0 at the end of the file, negative on failure. */
int QZ_KrFS_File_Read(void *device, void *buffer, int size, int handle);
int QZ_KrFS_File_Close(void *device, int handle);

#ifdef __cplusplus
}
#endif

#endif
