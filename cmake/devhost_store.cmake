# devhost's map files: the store, its tests, fuzz target, benchmark and the map tool.
# Included by both builds.
