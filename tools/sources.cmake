# Sources of tools/
