#pragma once

#include <string>
#include <vector>

// Three-way merge of a stored list of "Name=Command" lines, by name without regard to case:
// `base` is the list as this program last read or wrote it, `ours` what the operator made of it
// since, `theirs` what the file holds now. The operator's added, changed and removed lines win;
// every other line is the file's, in the file's order, and lines new to the file follow them. When
// the file did not change since `base`, the result is `ours` as it stands (order and duplicates
// included); when the operator changed nothing, it is `theirs`.
std::vector<std::string> MergeTables(const std::vector<std::string>& base,
                                     const std::vector<std::string>& ours,
                                     const std::vector<std::string>& theirs);
