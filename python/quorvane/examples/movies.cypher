// Example queries for the movie graph of movies.schema.json.
// `quorvane check --example` checks them; three of them have mistakes.

// Who acted in The Matrix, and as whom?
MATCH (p:Person)-[r:ACTED_IN]->(m:Movie {title: "The Matrix"})
RETURN p.name, r.roles;

// Films released since 2000, newest first.
MATCH (m:Movie)
WHERE m.released >= 2000
RETURN m.title, m.released
ORDER BY m.released DESC
LIMIT 10;

// Mistake: the label Movie is misspelled.
MATCH (d:Person)-[:DIRECTED]->(m:Movei)
RETURN d.name, m.title;

// Directors who acted in their own films.
MATCH (p:Person)-[:DIRECTED]->(m:Movie)<-[:ACTED_IN]-(p)
RETURN DISTINCT p.name;

// Mistake: movies have no rating property (reviews have one).
MATCH (m:Movie)
WHERE m.rating > 4
RETURN m.title;

// Average review rating per genre.
MATCH (:Person)-[r:REVIEWED]->(m:Movie)-[:IN_GENRE]->(g:Genre)
RETURN g.name AS genre, avg(r.rating) AS rating
ORDER BY rating DESC;

// Mistake: the relationship pattern is never closed with "]".
MATCH (p:Person)
      -[:ACTED_IN->(m:Movie)
RETURN p.name;

// A semicolon inside a string does not end a statement.
CREATE (m:Movie {title: "Love; Actually", released: 2003})
RETURN m;
