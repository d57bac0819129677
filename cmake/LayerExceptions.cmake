# TEMPORARY exceptions to the layer rule (cmake/LayerRules.cmake), generated from the tree with
#   cmake -P cmake/KelvarLayers.cmake
# Each line lets exactly one include (or one file's SQL text) through. The check fails on a line
# that no longer matches anything, so the list only shrinks. Empty it; add nothing.
