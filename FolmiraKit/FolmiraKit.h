#pragma once

// The document engine's public interface: the model, the entry that reads
// files, the readers' shared helpers, the renderer and the quality report.

#include "FolmiraKit/Model/BigDocument.h"
#include "FolmiraKit/Model/Block.h"
#include "FolmiraKit/Model/Conversion.h"
#include "FolmiraKit/Model/Enums.h"
#include "FolmiraKit/Model/Folmira.h"
#include "FolmiraKit/Model/Run.h"
#include "FolmiraKit/Quality/Gate.h"
#include "FolmiraKit/Quality/GateExpectation.h"
#include "FolmiraKit/Readers/Inference.h"
#include "FolmiraKit/Readers/Markdown.h"
#include "FolmiraKit/Readers/PlainText.h"
#include "FolmiraKit/Readers/RichTextReader.h"
#include "FolmiraKit/Render/LargePrintFont.h"
#include "FolmiraKit/Render/LargePrintSettings.h"
#include "FolmiraKit/Render/Renderer.h"
#include "FolmiraKit/Word/DocxReader.h"
#include "FolmiraKit/Word/ZipReader.h"
