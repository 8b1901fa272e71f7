#!/usr/bin/python
# The Skellin Q7 gateways attached to the host, each by its IMEI, from tervane-q7 devices.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: q7_devices
short_description: The Skellin Q7 gateways attached to the host, by IMEI
description:
  - Runs C(tervane-q7 --json --probe devices) on the host and returns the gateways that
    answered, each with its port and IMEI, so that one play loops over the gateways of a
    staging bench with C(loop) instead of one inventory host per gateway.
  - A module rather than an inventory plugin - the gateways hang on the managed host's USB
    ports, which only a task on that host can see, and their ttyACM numbers change with each
    replug; the IMEI is what per-gateway values are keyed by.
  - Only reads; nothing is changed on the gateways.
version_added: 1.0.0
author:
  - Tervane developer (@tervane)
extends_documentation_fragment:
  - tervane.q7.common
options:
  ports:
    description:
      - Probe these ports (for example gateways behind ser2net), and I(port) when given,
        instead of the gateways attached by USB.
    type: list
    elements: str
    default: []
  require_all:
    description:
      - Fail when a gateway does not answer. Otherwise it is only listed in C(unanswered),
        and the other gateways are returned.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
'''

EXAMPLES = r'''
- name: List the gateways on the bench
  tervane.q7.q7_devices:
  register: bench

- name: Stage each gateway, with its own values from a table keyed by IMEI
  tervane.q7.q7_profile:
    port: "{{ item.port }}"
    src: /etc/tervane/fleet.yaml
    vars: "{{ q7_gateway_vars[item.imei] | default({}) }}"
    record: /var/lib/tervane/inventory.csv
  loop: "{{ bench.gateways }}"
  loop_control:
    label: "{{ item.imei }}"
'''

RETURN = r'''
gateways:
  description: The gateways that answered, in the order of their ports.
  returned: always
  type: list
  elements: dict
  sample:
    - {imei: "356938035643809", port: /dev/ttyACM0, serial_number: "Q7-0042", bus_path: "1-2",
       maker: WAVECOM, firmware_version: 2.4.1.7}
imeis:
  description: The IMEIs of I(gateways), in the same order.
  returned: always
  type: list
  elements: str
unanswered:
  description: The ports of gateways that were found but did not answer.
  returned: always
  type: list
  elements: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tervane.q7.plugins.module_utils.q7_tool import (
    Q7Tool, common_argument_spec, member, text_member)


def gateways_of(document):
    """The rows of a devices document, split into those that answered and the ports of
    those that did not. A row without a port or an IMEI is no gateway to stage."""
    answered, unanswered = [], []
    seen = set()
    for row in member(document, 'devices', list, []):
        port = text_member(row, 'port')
        if not port:
            continue
        imei = text_member(row, 'imei')
        if not member(row, 'answered', bool, False) or not imei:
            unanswered.append(port)
            continue
        # The same gateway named twice (a port and its by-id link) is staged once.
        if imei in seen:
            continue
        seen.add(imei)
        answered.append(dict(imei=imei, port=port, serial_number=text_member(row, 'serialNumber'),
                             bus_path=text_member(row, 'busPath'), maker=text_member(row, 'maker'),
                             firmware_version=text_member(row, 'firmwareVersion')))
    return answered, unanswered


def main():
    module = AnsibleModule(
        argument_spec=common_argument_spec(
            ports=dict(type='list', elements='str', default=[]),
            require_all=dict(type='bool', default=False),
        ),
        supports_check_mode=True,
    )
    args = []
    for port in module.params['ports']:
        args += ['--port', port]
    run = Q7Tool(module).run(args + ['--probe', 'devices'])
    gateways, unanswered = gateways_of(run.document)
    result = dict(changed=False, gateways=gateways, imeis=[g['imei'] for g in gateways],
                  unanswered=unanswered, exit_status=run.rc)
    # A gateway that does not answer makes the run's status 3; it is a failure only when
    # every gateway was wanted, or when the tool gave no list at all.
    if not isinstance(run.document.get('devices'), list) or (unanswered and module.params['require_all']):
        module.fail_json(msg=run.failure_message(), **result)
    if unanswered:
        module.warn('no answer from %s' % ', '.join(unanswered))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
