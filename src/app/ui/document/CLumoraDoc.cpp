#include "CLumoraDoc.h"

namespace {
int gLiveDocuments = 0;
}

wxIMPLEMENT_DYNAMIC_CLASS(CLumoraDoc, wxDocument);

CLumoraDoc::CLumoraDoc() { ++gLiveDocuments; }

CLumoraDoc::~CLumoraDoc() { --gLiveDocuments; }

bool CLumoraDoc::UserControl() { return gLiveDocuments == 0; }
