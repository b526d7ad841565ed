# -*- coding: utf-8 -*-
# The options every module of this collection shares: which velkctl runs, against which executor.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  velkctl:
    description:
      - Path of the C(velkctl) command on the managed host.
      - By default C(velkctl) is looked up on the managed host's C(PATH).
    type: path
  device:
    description:
      - The executor device that velkctl talks to, passed as C(VELKLB_DEVICE).
      - By default velkctl uses the host's own executor (C(/run/velklb) on Linux).
      - Set it when one host runs more than one executor, as the simulated pair of the example does.
    type: path
requirements:
  - velkctl (from the cmnexecutor bundle) on the managed host, with a Java runtime.
notes:
  - The modules run velkctl on the managed host; they make no call to the executor themselves.
'''
