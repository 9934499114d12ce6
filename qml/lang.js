// labels
