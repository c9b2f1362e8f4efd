# Disk identification under Wine, on the disk images of fixtures/30-disk-images.sh.
# Raw sector reads through the runtime library, on the real platform path.
zerka_wine_test(disk_raw_tests SOURCES disk_raw_tests.cpp LIBS zerka_core)
# GRUB device names and the drive log, with the fake storage queries where Wine has none.
zerka_wine_test(disk_identification_tests
  SOURCES disk_identification_tests.cpp fake_system_calls.cpp LIBS zerka_core)
