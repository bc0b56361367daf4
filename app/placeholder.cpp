// The operator window grows here.
