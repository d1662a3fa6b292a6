#include "payload/Extraction.h"

#include <windows.h>

#include "classlib/FileStream.h"
#include "classlib/ResourceStream.h"
#include "classlib/ShiftJis.h"
#include "payload/PackedStream.h"
#include "payload/UpdateSet.h"

bool ExtractPayload(std::string ResName, std::string TargetPath) {
    // The source first: a missing resource must not touch the target.
    TResourceStream source(HInstance(), ResName, RT_RCDATA);
    TReplacementFileStream target(TargetPath);
    DecodePackedStream(source, target);
    target.Commit();
    return true;
}

void ApplyUpdateSet(const std::string& Folder) {
    for (const auto& entry : UpdateSet)
        ExtractPayload(entry.ResourceName, JoinPath(Folder, entry.FileName));
}
