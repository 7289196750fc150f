// The palette's generate command: noise terrain around the centre of the active view.
#pragma once

void OnGenerate();
