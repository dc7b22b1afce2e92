#pragma once
// Turns a traffic message into its line of text with the event and location code lists.

#include "warner/traffic/code_lists/code_lists.h"
#include "warner/traffic/rds/rds_state.h"

namespace traffic {

// Reads the free-format data words (only when groupCount >= 0) into quantityText (the length of
// the route affected), reversed (control code 2) and diversion (control code 5).
void DecodeFreeFormat(TmcMessage& message);

// Fills message.text; 0, or -1 when the event, the location or the walk to the extent's far end
// failed (the text then holds the lists' miss texts).
int FormatTmcMessage(TmcMessage& message, CodeLists& codeLists);

}  // namespace traffic
