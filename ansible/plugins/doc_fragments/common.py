# Options every module of the collection takes: which gateway, which tool, how long.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r'''
options:
  port:
    description:
      - Serial port of the gateway on the host, for example C(/dev/ttyACM0), or a port served
        over the network by ser2net, C(rfc2217://HOST:PORT) (its C(telnet(rfc2217)) accepter) or
        C(socket://HOST:PORT) (its raw C(tcp) accepter).
      - Without it, tervane-q7 looks for the one Skellin Q7 attached by USB; when several
        are attached the task fails and names their ports.
    type: str
  tool:
    description:
      - The C(tervane-q7) program on the host, by path or by a name looked up in C(PATH).
    type: path
    default: tervane-q7
  timeout:
    description:
      - Seconds the task may take. When they have passed, tervane-q7 is asked to stop after
        the command it is sending (a firmware install is not cut short by the gateway's
        restart wait alone), and the task fails.
      - A firmware update with the gateway's restart can take several minutes.
    type: int
    default: 1200
notes:
  - Runs C(tervane-q7 --json) on the managed host, which needs the tool and the gateway's
    serial port (membership of C(dialout), or the udev rule of the tool's package).
requirements:
  - tervane-q7 on the managed host
'''
