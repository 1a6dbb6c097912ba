// Hands the configured recording folders, extensions, recursion switches and texts to
// the catalogue, as start-up does.
#pragma once

class RecordingCatalogue;
class ViewerConfig;

void applyViewerConfig(RecordingCatalogue &catalogue, const ViewerConfig &config);
