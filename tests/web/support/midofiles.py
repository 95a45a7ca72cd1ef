"""MIDI files through mido, independent of the page's code. write <folder>: writes each file of
the JSON list of rows [name, format, ticks, charset, tracks: [[[type, delta, {fields}]]], ...] on stdin.
read <files...>: prints each file's format, ticks per quarter and messages as [track, tick, type, fields]."""
import json
import sys

import mido

kMeta = ('lyrics', 'text', 'time_signature', 'set_tempo', 'track_name', 'end_of_track')

if sys.argv[1] == 'write':
    for name, format, ticks, charset, tracks, *_ in json.load(sys.stdin):
        midi = mido.MidiFile(type=format, ticks_per_beat=ticks, charset=charset)
        for events in tracks:
            midi.tracks.append(mido.MidiTrack((mido.MetaMessage if kind in kMeta else mido.Message)(kind, time=delta, **fields)
                                              for kind, delta, fields in events))
        midi.save(sys.argv[2] + '/' + name)
else:
    out = []
    for name in sys.argv[2:]:
        midi = mido.MidiFile(name, charset='utf-8')
        events = []
        for index, track in enumerate(midi.tracks):
            tick = 0
            for message in track:
                tick += message.time
                events.append([index, tick, message.type, {k: v for k, v in message.dict().items() if k not in ('time', 'type')}])
        out.append({'format': midi.type, 'ticks': midi.ticks_per_beat, 'events': events})
    print(json.dumps(out))
