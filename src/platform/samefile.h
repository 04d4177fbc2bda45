// Whether two names lead to the same file.
#pragma once

namespace kawase {

// 1 when both names exist and are the same file, however each is spelled
// and also through a link; 0 otherwise, including when either cannot be
// looked at.
int sameFile(const char* a, const char* b);

}  // namespace kawase
