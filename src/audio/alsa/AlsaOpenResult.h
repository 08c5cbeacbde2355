#pragma once

// The winmm open result nearest to an ALSA error, so that a failed open of the ALSA device shows
// the same box as the Windows program ("Wave-Ausgabeger\xE4t konnte nicht ge\xF6ffnet werden!"
// with the result minus 32 and its text).
//
// Opening has two steps: snd_pcm_open finds and opens the device, then the hardware parameters
// set the format. ALSA's errors are negative errno values:
//
//   step    ALSA error                                   result                    shown
//   device  -ENOENT    unknown PCM, no sound card         2 MMSYSERR_BADDEVICEID   -30
//   device  -ENODEV, -ENXIO  no such device               2 MMSYSERR_BADDEVICEID   -30
//   device  -ECONNREFUSED, -ENOTCONN, -ECONNRESET,        2 MMSYSERR_BADDEVICEID   -30
//           -EHOSTDOWN, -EHOSTUNREACH, -ETIMEDOUT
//           no sound server, server gone or silent
//   device  -EACCES, -EPERM  device not ours to use       2 MMSYSERR_BADDEVICEID   -30
//   device  -EINVAL    malformed device name              11 MMSYSERR_INVALPARAM   -21
//   either  -EBUSY, -EAGAIN  device in use                4 MMSYSERR_ALLOCATED     -28
//   either  -ENOMEM, -ENOSPC, -EMFILE, -ENFILE            7 MMSYSERR_NOMEM         -25
//           out of memory or descriptors
//   either  -ENOSYS, -EOPNOTSUPP  plugin cannot play      6 MMSYSERR_NODRIVER      -26
//   format  -EINVAL, -ERANGE  format, channels or rate    32 WAVERR_BADFORMAT      0
//           refused by the hardware parameters
//   format  -ENODEV, -ENXIO, -EIO, -EBADFD, -ESTRPIPE,    2 MMSYSERR_BADDEVICEID   -30
//           -ECONNREFUSED, -ENOTCONN, -ECONNRESET
//           device or server went away meanwhile
//   either  anything else                                 1 MMSYSERR_ERROR         -31
//
// Without any sound server on a machine without a sound card, snd_pcm_open("default") returns
// -ENOENT; with the PulseAudio plugin as the default and the server gone, -ECONNREFUSED: both
// show "-30 = Ung\xFCltige Ger\xE4te-ID", as the Windows program does under Wine without a server.
enum class AlsaOpenStep { Device, Format };

unsigned AlsaOpenResult(AlsaOpenStep step, int error);
