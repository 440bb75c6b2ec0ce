// The viewer's style, markup and script, kept as files of their own in this
// folder and built into the stand-in as text (cmake/EmbedText.cmake).
#pragma once

extern const char szViewerStyle[];  // viewer.css
extern const char szViewerBody[];   // viewer.html: the player's elements
extern const char szViewerScript[]; // viewer.js
