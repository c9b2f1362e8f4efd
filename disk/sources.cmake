# Sources of disk/
