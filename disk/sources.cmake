# Sources of disk/: sector access and the partition walk run natively too; the storage
# queries and the drive log need Windows.
list(APPEND portable_sources disk/xdio.cpp disk/partition_walk.cpp)
list(APPEND windows_sources disk/grub_name.cpp disk/drive_log.cpp)
