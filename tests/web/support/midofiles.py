"""Reference MIDI files through mido, an implementation independent of the page's.

write <folder>: reads [{name, format, ticks, charset, tracks: [[[type, delta, {fields}], ...]]}]
as JSON on stdin and writes each file. read <files...>: prints, per file, its format, ticks
per quarter and every message with its track and absolute tick, as JSON."""
import json
import sys

import mido


def write(folder):
    for spec in json.load(sys.stdin):
        midi = mido.MidiFile(type=spec['format'], ticks_per_beat=spec['ticks'], charset=spec.get('charset', 'utf-8'))
        for events in spec['tracks']:
            track = mido.MidiTrack()
            for kind, delta, fields in events:
                meta = kind in ('lyrics', 'text', 'time_signature', 'set_tempo', 'track_name', 'end_of_track')
                track.append((mido.MetaMessage if meta else mido.Message)(kind, time=delta, **fields))
            midi.tracks.append(track)
        midi.save(folder + '/' + spec['name'])


def read(files):
    out = []
    for name in files:
        midi = mido.MidiFile(name, charset='utf-8')
        events = []
        for index, track in enumerate(midi.tracks):
            tick = 0
            for message in track:
                tick += message.time
                fields = {k: v for k, v in message.dict().items() if k not in ('time', 'type')}
                events.append([index, tick, message.type, fields])
        out.append({'format': midi.type, 'ticks': midi.ticks_per_beat, 'events': events})
    print(json.dumps(out))


if __name__ == '__main__':
    write(sys.argv[2]) if sys.argv[1] == 'write' else read(sys.argv[2:])
