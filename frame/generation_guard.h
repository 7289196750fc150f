// While a generation runs, the host's message pump can deliver palette commands, view
// presses and map events. Those that would touch the editor being generated are held off:
// commands are ignored, and the closing of that map is carried out when the generation
// has ended.
#pragma once

// Marks a generation on `map` for its lifetime.
class GenerationScope {
public:
    explicit GenerationScope(unsigned map);
    ~GenerationScope();
    GenerationScope(const GenerationScope&) = delete;
    GenerationScope& operator=(const GenerationScope&) = delete;

    // True when the map was closed while the generation ran; its editor is discarded
    // when the scope ends.
    bool MapClosed() const;
};

bool IsGenerating();
// True (and the discard remembered) when `map` is the one being generated.
bool DeferDiscardWhileGenerating(unsigned map);
