# Sources of disk/: sector access, the partition walk and the boot record run natively too; the storage
# queries, sector 0 of a disk, the volume's format and the drive log need Windows.
list(APPEND portable_sources disk/xdio.cpp disk/partition_walk.cpp disk/boot_record.cpp disk/fat32_format.cpp)
list(APPEND windows_sources disk/grub_name.cpp disk/sector_zero.cpp disk/volume_format.cpp disk/drive_log.cpp)
