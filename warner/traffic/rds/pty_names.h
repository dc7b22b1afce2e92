#pragma once
// Programme type names for the trace (RDS programme type codes 0..31, European table).

namespace traffic {

// The name of programme type `code`; "?" outside 0..31.
const char* PtyName(int code);

}  // namespace traffic
